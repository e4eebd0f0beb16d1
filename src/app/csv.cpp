#include "app/csv.h"

#include "app/gb18030.h"

#include <QFile>

bool appendCsvLines(const QString& path, const QStringList& lines, QString* error) {
    QFile file(path);
    const auto fail = [&] {
        if (error)
            *error = file.errorString();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail();
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += Gb18030::encode(line);
        bytes += "\r\n";
    }
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail();
    return true;
}

QString csvLineOf(const QString& shownLine) {
    return QString(shownLine).replace(QChar(0x2502), QLatin1Char(','));
}
