#include "app/startup.h"

#include "app/callwait.h"
#include "app/clock.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "app/start.h"
#include "db/backup.h"
#include "db/serversettings.h"
#include "main_window/appicon.h"
#include "main_window/kuang.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace {
// A launcher without a screen (the package check) learns here that the main window stands:
// ZELVO_REPORT_READY names a file that gets the window, its panel and the help page it found.
void reportReady(const Kuang* kuang) {
    const QString path = qEnvironmentVariable("ZELVO_REPORT_READY");
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    QTextStream out(&file);
    out << "window=" << kuang->objectName() << "\npanel=" << kuang->PanelNo
        << "\nvisible=" << int(kuang->isVisible()) << "\nhelp=" << helpPagePath() << '\n';
    out.flush();
    file.commit();
}
} // namespace

void checkEmbeddedDatabase() {
    const Db::Connection c = Db::connection();
    if (c.engine != Db::Engine::Sqlite)
        return;
    const QString live = Db::sqliteFilePath(c.database);
    const QDateTime now = Clock::now();
    if (Backup::unreadable(live, Backup::dailyDue(now.date()) ? Backup::Depth::Quick
                                                              : Backup::Depth::Schema)) {
        const Backup::Check newest = Backup::newestGood();
        if (!newest.ok()) {
            Msg::box(Backup::damagedNoCopy(live), QMessageBox::Warning);
            return;
        }
        if (Msg::box(Backup::askRestoreDamaged(live, newest), QMessageBox::Question, QString(),
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return; // and no copy of the day: it would copy the damage over a good copy
        QString aside;
        const QString error = Backup::recoverDamaged(live, newest.path, now, &aside);
        if (!error.isEmpty()) {
            Msg::info(Backup::restoreFailed(error));
            return;
        }
        Msg::info(Backup::restored(newest, QString()) + QStringLiteral("\r\r") +
                  Backup::damagedKept(aside));
    }
    if (!QFileInfo::exists(live))
        return; // nothing written yet, nothing to keep
    const Backup::Daily daily = Backup::daily(live, now.date());
    if (!daily.error.isEmpty() && Backup::failureToSay(now.date()))
        Msg::box(Backup::dailyFailed(daily.error), QMessageBox::Warning);
}

void Main() {
    MainBas::initFixedValues(QCoreApplication::applicationDirPath());
    Db::setConnection(ServerSettings::load().connection);
    installWaitCursor();
    CallWait::install();
    checkEmbeddedDatabase();
    Start::instance()->show();
    DoEvents(4);
    Kuang* kuang = Kuang::instance();
    kuang->show();
    DoEvents(1);
    Start::unload();
    reportReady(kuang);
}
