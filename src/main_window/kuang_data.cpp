// The main window's data commands: copies of the embedded file, and a ledger moved to a server
// or copied back to this computer.
#include "main_window/kuang.h"

#include "admin/rights.h"
#include "app/clock.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "db/backup.h"
#include "db/ledgermove.h"
#include "db/serversettings.h"
#include "db/sqlaccess.h"
#include "db/srvset.h"
#include "main_window/restorepick.h"

#include <QAction>
#include <QApplication>
#include <QProgressDialog>

using namespace MainBas;

namespace {

bool embedded() {
    return Db::currentEngine() == Db::Engine::Sqlite;
}

QString liveFile() {
    return Db::sqliteFilePath(Db::connection().database);
}

} // namespace

void Kuang::updateDataMenu() {
    const bool here = embedded();
    for (QAction* a : {Menu_BackUp, Menu_Restore, Menu_MoveZb}) {
        a->setEnabled(here);
        a->setToolTip(here               ? QString()
                      : a == Menu_MoveZb ? LedgerMove::notEmbedded()
                                         : Backup::notEmbedded());
    }
    Menu_CopyZb->setEnabled(!here);
    Menu_CopyZb->setToolTip(here ? LedgerMove::notOnServer() : QString());
}

void Kuang::Menu_BackUp_Click() {
    if (!hasRight(Rights::Admin))
        return;
    if (!embedded()) {
        Msg::info(Backup::notEmbedded());
        return;
    }
    const QString path = SaveBackupDialog(Backup::proposedName(Clock::now().date()));
    if (path.isEmpty())
        return;
    const QString error = Backup::copy(liveFile(), path);
    Msg::info(error.isEmpty() ? Backup::backedUp(path) : Backup::backUpFailed(error));
}

void Kuang::Menu_Restore_Click() {
    if (!hasRight(Rights::Admin))
        return;
    if (!embedded()) {
        Msg::info(Backup::notEmbedded());
        return;
    }
    RestorePick pick(this);
    if (pick.exec() != QDialog::Accepted)
        return;
    const Backup::Check c = Backup::inspect(pick.chosen());
    if (!c.ok()) {
        Msg::info(Backup::refusal(c));
        return;
    }
    if (!Msg::askYesNo(Backup::askRestore(c), QMessageBox::Question, Backup::menuRestore()))
        return;
    QString saved;
    const QString error = Backup::restore(c.path, liveFile(), false, Clock::now(), &saved);
    if (!error.isEmpty()) {
        Msg::info(Backup::restoreFailed(error));
        return;
    }
    Msg::info(Backup::restored(c, saved));
    BackToZbList();
}

void Kuang::Menu_MoveZb_Click() {
    moveLedger(true);
}

void Kuang::Menu_CopyZb_Click() {
    moveLedger(false);
}

void Kuang::moveLedger(bool toServer) {
    if (!hasRight(Rights::Admin))
        return;
    if (toServer != embedded()) {
        Msg::info(toServer ? LedgerMove::notEmbedded() : LedgerMove::notOnServer());
        return;
    }
    const QString title = toServer ? LedgerMove::moveTitle() : LedgerMove::copyTitle();
    SrvSet target(this);
    target.setWindowTitle(title);
    target.pickTarget(toServer ? SrvSet::Pick::Server : SrvSet::Pick::Embedded,
                      toServer ? QStringLiteral("迁移") : QStringLiteral("复制"));
    if (target.exec() != QDialog::Accepted)
        return;
    const Db::Connection from = Db::connection();
    const Db::Connection to = target.values();

    QProgressDialog progress(title, QString(), 0, 0, this);
    progress.setObjectName(QStringLiteral("MoveProgress"));
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.show();
    DoEvents();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const LedgerMove::Outcome o =
        LedgerMove::copy(from, to, CurZbID, [&](qint64 done, qint64 total) {
            progress.setMaximum(static_cast<int>(total));
            progress.setValue(static_cast<int>(done));
            progress.setLabelText(LedgerMove::progressCaption(done, total));
            DoEvents();
        });
    QApplication::restoreOverrideCursor();
    progress.close();

    const bool whole =
        o.status == LedgerMove::Outcome::Moved && LedgerMove::agree(o.source, o.target);
    Msg::box(LedgerMove::result(o, CurZbID, to, ItemName),
             whole ? QMessageBox::Information : QMessageBox::Warning, title);
    if (!whole)
        return;
    LedgerMove::markMoved(from, CurZbID, to);
    ServerSettings::save(to);
    Db::switchServer(to);
    BackToZbList();
    OpenLedger();
}
