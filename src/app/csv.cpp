#include "app/csv.h"

#include "app/gb18030.h"

#include <QFile>

bool appendCsvLines(const QString& path, const QStringList& lines) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += Gb18030::encode(line);
        bytes += "\r\n";
    }
    return file.write(bytes) == bytes.size() && file.flush();
}

QString csvLineOf(const QString& shownLine) {
    return QString(shownLine).replace(QChar(0x2502), QLatin1Char(','));
}
