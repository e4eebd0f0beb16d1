#include "app/shell.h"

#include "app/clock.h"
#include "app/format.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "db/sqlaccess.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QQueue>
#include <QStandardPaths>
#include <QUrl>

namespace {
QQueue<QString> nextSaveNames;
QQueue<QString> nextOpenNames;
QStringList opened;

void openAddress(const QUrl& url) {
    opened.append(url.toString());
    if (!Msg::testMode())
        QDesktopServices::openUrl(url);
}
} // namespace

QString exportStartFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString withSuffix(const QString& path, const QString& suffix) {
    const int nul = path.indexOf(QChar(0));
    QString p = nul >= 0 ? path.left(nul) : path;
    if (!p.endsWith(suffix, Qt::CaseInsensitive))
        p += suffix;
    return p;
}

QString withCsvSuffix(const QString& path) {
    return withSuffix(path, QStringLiteral(".csv"));
}

namespace {

QString proposed;

// `report` names what is saved; the dialog's title is it and `action`. Without `startName` the
// proposed name is made of the ledger, the report and the day.
QString askFileName(const QString& report, const QString& action, const QString& filter,
                    const QString& suffix, QFileDialog::Options options,
                    const QString& startName = QString()) {
    proposed = startName.isEmpty()
                   ? exportFileName(MainBas::CurZbNm, report, Clock::now().date(), suffix)
                   : startName;
    QString chosen;
    if (Msg::testMode()) {
        chosen = nextSaveNames.isEmpty() ? QString() : nextSaveNames.dequeue();
    } else {
        chosen = QFileDialog::getSaveFileName(QApplication::activeWindow(), report + action,
                                              exportStartFolder() + QLatin1Char('/') + proposed,
                                              filter, nullptr, options);
    }
    if (chosen.isEmpty())
        return {};
    return withSuffix(chosen, suffix);
}

} // namespace

QString SaveCsvDialog(const QString& titlePrefix) {
    // Exports append to the file they are given, so choosing an existing one is no danger.
    return askFileName(titlePrefix, QStringLiteral(" 导出到Excel文件"),
                       QStringLiteral("Excel文件（CSV格式） (*.csv)"), QStringLiteral(".csv"),
                       QFileDialog::DontConfirmOverwrite);
}

QString SavePdfDialog(const QString& titlePrefix) {
    return askFileName(titlePrefix, QStringLiteral(" 导出到PDF文件"),
                       QStringLiteral("PDF文件 (*.pdf)"), QStringLiteral(".pdf"), {});
}

QString SavePngDialog(const QString& titlePrefix) {
    return askFileName(titlePrefix, QStringLiteral(" 保存图片"), QStringLiteral("PNG图片 (*.png)"),
                       QStringLiteral(".png"), {});
}

QString OpenImportDialog(const QString& title) {
    if (Msg::testMode())
        return nextOpenNames.isEmpty() ? QString() : nextOpenNames.dequeue();
    return QFileDialog::getOpenFileName(
        QApplication::activeWindow(), title, exportStartFolder(),
        QStringLiteral("文本文件 (*.csv *.txt *.tsv);;所有文件 (*)"), nullptr,
        QFileDialog::DontUseNativeDialog);
}

QString SaveBackupDialog(const QString& proposedName) {
    return askFileName(QStringLiteral("备份数据"), QString(),
                       QStringLiteral("云记账数据文件 (*.db)"), QStringLiteral(".db"), {},
                       proposedName);
}

QString OpenBackupDialog(const QString& title) {
    if (Msg::testMode())
        return nextOpenNames.isEmpty() ? QString() : nextOpenNames.dequeue();
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, exportStartFolder(),
                                        QStringLiteral("云记账数据文件 (*.db);;所有文件 (*)"));
}

void OpenExportedFile(const QString& path) {
    if (!QFileInfo::exists(path)) {
        Msg::info(QStringLiteral("指定文件已经被移除！"));
        return;
    }
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    opened.append(url.toString());
    if (!Msg::testMode() && !QDesktopServices::openUrl(url))
        Msg::info(QStringLiteral("您的系统不支持由程序直接打开文件、或没有安装相关应用程序，\n\n"
                                 "请您到文件夹中尝试鼠标双击该文件打开文件。"));
}

void OpenUrl(const QString& address) {
    QUrl url = QUrl::fromUserInput(address.trimmed());
    openAddress(url);
}

void DoEvents(int times) {
    for (int i = 0; i < times; ++i)
        QCoreApplication::processEvents();
}

void installWaitCursor() {
    Db::setBusyHandler([](bool busy) {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
}

namespace Shell {
void setNextSaveFileName(const QString& path) {
    nextSaveNames.enqueue(path);
}
void setNextOpenFileName(const QString& path) {
    nextOpenNames.enqueue(path);
}
QString lastProposedName() {
    return proposed;
}
QStringList openedAddresses() {
    return opened;
}
void clearOpened() {
    opened.clear();
}
} // namespace Shell
