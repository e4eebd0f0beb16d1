#include "reports/drilldown.h"

#include "app/gb18030.h"
#include "app/msgbox.h"
#include "app/shell.h"

#include <QFile>

namespace DrillDown {

namespace {

// Appends GB18030 lines with CR LF; the error's own text on failure.
QString appendLines(const QString& path, const QStringList& lines) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += Gb18030::encode(line) + "\r\n";
    if (file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    return {};
}

} // namespace

void exportLines(const QString& caption, const QStringList& lines) {
    const QString path = SaveCsvDialog(caption);
    if (path.isEmpty())
        return;
    const QString error = appendLines(path, lines);
    if (!error.isEmpty()) {
        Msg::info(error, QStringLiteral("导出失败"));
        return;
    }
    const Msg::Button answer =
        Msg::box(QStringLiteral("数据导出完成！\n\n是否需要打开这个Excel文件？"),
                 QMessageBox::Question, QString(), QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::No)
        OpenExportedFile(path);
}

} // namespace DrillDown
