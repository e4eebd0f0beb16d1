// The main window's ledger list, opening a ledger and the operator login.
#include "main_window/kuang.h"

#include "db/srvset.h"

#include "app/format.h"
#include "app/ledgersession.h"

#include "admin/rights.h"
#include "admin/zbtyp.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "db/ledgermove.h"
#include "db/secure.h"
#include "db/serverprobe.h"
#include "db/serversettings.h"
#include "db/sqlaccess.h"
#include "main_window/kuangtexts.h"
#include "main_window/ledgerlist.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace MainBas;
namespace T = KuangTexts;

namespace {
const QString kHint = QStringLiteral("提示");
}

void Kuang::armZbList() {
    DlgRet = kArmZbList;
}

void Kuang::LoadZbList() {
    const QSignalBlocker blockNames(CmbZbNm);
    CmbZbNm->clear();
    CmbZbID->clear();
    const Db::Connection here = Db::connection();
    for (const LedgerList::Ledger& ledger : LedgerList::load()) {
        CmbZbID->addItem(ledger.id);
        CmbZbNm->addItem(LedgerMove::movedTo(here, ledger.id) ? LedgerMove::marked(ledger.name)
                                                              : ledger.name);
    }
    CmbZbNm->addItem(T::addEntry());
    CmbZbID->addItem(QString());
    CurZbID = LedgerList::lastOpened();
    const int found = findLedgerId(CurZbID, Qt::CaseSensitive);
    CmbZbNm->setCurrentIndex(found >= 0 ? found : 0);
    CmbZbID->setCurrentIndex(CmbZbNm->currentIndex());
}

void Kuang::SaveZbList() {
    QList<LedgerList::Ledger> ledgers;
    for (int i = 0; i < CmbZbID->count() - 1; ++i)
        ledgers.append({CmbZbID->itemText(i), LedgerMove::unmarked(CmbZbNm->itemText(i))});
    LedgerList::save(ledgers);
}

int Kuang::findLedgerId(const QString& id, Qt::CaseSensitivity cs) const {
    if (id.isEmpty())
        return -1;
    for (int i = 0; i < CmbZbID->count() - 1; ++i)
        if (CmbZbID->itemText(i).compare(id, cs) == 0)
            return i;
    return -1;
}

void Kuang::insertLedger(const QString& id, const QString& name) {
    const int at = std::max(CmbZbID->count() - 1, 0);
    CmbZbID->insertItem(at, id);
    CmbZbNm->insertItem(at, name);
    DoEvents();
    CmbZbNm->setCurrentIndex(at);
}

void Kuang::CmbZbNm_Click(int index) {
    if (index == CmbZbNm->count() - 1 && DlgRet == kArmZbList) {
        Cmd->setFocus();
        AddZbToList();
    } else {
        CmbZbID->setCurrentIndex(index);
    }
}

void Kuang::CmbZbNm_GotFocus() {
    // Run after the focus change has finished: the dialog must not open inside it.
    QTimer::singleShot(0, this, [this] {
        if (CmbZbNm->count() == 1 && PanelNo == 0 && DlgRet == kArmZbList && isVisible()) {
            Cmd->setFocus();
            AddZbToList();
            if (PanelNo == 0) // the new ledger may be open already: leave its panel the focus
                Cmd->setFocus();
        }
    });
}

void Kuang::AddZbToList() {
    DlgRet.clear();
    ZbTyp* dialog = ZbTyp::instance();
    connect(dialog, &ZbTyp::ledgerChosen, this, &Kuang::placeLedger, Qt::UniqueConnection);
    dialog->showFrame(0);
    // The dialog's own answer decides: DlgRet may have been re-armed while it was closing.
    if (dialog->exec() != QDialog::Accepted) {
        if (CmbZbNm->count() > 1)
            CmbZbNm->setCurrentIndex(0);
        armZbList();
        return;
    }
    DlgRet = QStringLiteral("OK");
    SaveZbList();
    if (Msg::box(T::addedAskOpen(CmbZbNm->currentText()), QMessageBox::Information, QString(),
                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes) {
        DoEvents(6);
        Cmd_Click();
    }
}

void Kuang::placeLedger(const QString& id, const QString& name, bool joined) {
    const int found = joined ? findLedgerId(id, Qt::CaseInsensitive) : -1;
    if (found >= 0) {
        CmbZbNm->setCurrentIndex(found);
        CurZbID = CmbZbID->itemText(found);
        CurZbNm = CmbZbNm->itemText(found);
        return;
    }
    insertLedger(id, name);
    DoEvents();
    CurZbID = id;
    CurZbNm = name;
}

void Kuang::RemoveZb() {
    const int index = CmbZbNm->currentIndex();
    if (index < 0 || index == CmbZbNm->count() - 1) {
        Msg::info(T::nothingToRemove());
        return;
    }
    if (!Msg::askYesNo(T::askRemove(CmbZbNm->currentText()), QMessageBox::Question))
        return;
    DlgRet.clear();
    CmbZbID->removeItem(index);
    CmbZbNm->removeItem(index);
    CmbZbNm->setCurrentIndex(LedgerList::indexAfterRemoval(index));
    armZbList();
    SaveZbList();
    LedgerList::setLastOpened(QString());
}

void Kuang::ShowZbID() {
    if (Msg::box(T::showIdText(CurZbNm, CurZbID), QMessageBox::Information, T::showIdTitle(),
                 QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(CurZbID);
    Msg::info(T::copiedText(CurZbID));
}

void Kuang::BackToZbList() {
    ShowPanel(0);
    // The next ledger is opened as the guest again, not as the operator of this one.
    Db::clearSessionLogin();
    armZbList();
    const int found = findLedgerId(CurZbID, Qt::CaseSensitive);
    if (found >= 0)
        CmbZbNm->setCurrentIndex(found);
    Chk->setChecked(AutoOpenFlag == 1);
}

void Kuang::OpenLedger() {
    if (CmbZbID->currentText().isEmpty()) {
        Msg::info(T::firstAddLedger(), kHint);
        return;
    }
    CurZbNm = LedgerMove::unmarked(CmbZbNm->currentText());
    labHello->clear();
    CurZbID = CmbZbID->currentText();
    // Moved away from here: the copy left behind is the state before the move.
    if (const auto to = LedgerMove::movedTo(Db::connection(), CurZbID)) {
        if (Msg::box(LedgerMove::askOpenMoved(CurZbNm, *to), QMessageBox::Question, QString(),
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes) {
            ServerSettings::save(*to);
            Db::switchServer(*to);
        }
    }
    const Db::Action action;
    showWait(T::openingWait(CurZbNm));
    setEnabled(false);
    const auto readLedger = [] {
        return RunSql(Db::isSecureServer() ? T::ledgerCall(CurZbID) : T::ledgerQuery(CurZbID));
    };
    QString result = readLedger();
    setEnabled(true);
    hideWait();
    if (result.isEmpty() && Db::lastCallStoppedWhileConnecting())
        return; // the user gave up waiting for the server: nothing to tell
    // A new server has no tables yet: made on request, then the ledger is looked up again.
    if (result.isEmpty()) {
        switch (SrvSet::offerTables()) {
        case SrvSet::Offer::Made:
            result = readLedger();
            break;
        case SrvSet::Offer::Answered:
            return;
        case SrvSet::Offer::NotAsked:
            break;
        }
    }
    if (result.isEmpty()) {
        Msg::info(ServerProbe::connectFailed(T::connectFailed()));
        return;
    }
    if (result.toInt() <= 0) {
        Msg::info(T::noSuchLedger());
        return;
    }
    ItemName = SqlRows(1, 0);
    SlName = SqlRows(1, 1);
    ZbMsg = SqlRows(1, 2);
    const QString command = CleanStr(SqlRows(1, 3));
    session_->setNotice(SqlRows(1, 4));
    bool stop = false;
    carryOutServerCommand(command, &stop);
    if (stop)
        return;
    showWait(T::readingOperatorsWait());
    // Read before anything is remembered: a failed read leaves the ledger panel as it was.
    session_->setOperators({});
    if (!fillUsrList()) {
        hideWait();
        if (!Db::lastCallStoppedWhileConnecting())
            Msg::info(T::connectFailed());
        return;
    }
    LedgerList::setLastOpened(CurZbID);
    LedgerList::setAutoOpen(Chk->isChecked());
    if (CurUsr.isEmpty())
        CurUsr = LedgerList::lastOperator(CurZbID);
    AutoLoginOn = LedgerList::autoLogin().toInt() == 1;
    ShowPanel(1);
    hideWait();
}

void Kuang::carryOutServerCommand(const QString& command, bool* stop) {
    switch (T::classifyCommand(command)) {
    case T::ServerCommand::Notice:
        if (T::isWebAddress(ZbMsg))
            OpenUrl(ZbMsg);
        else
            Msg::info(ZbMsg);
        break;
    case T::ServerCommand::Stop:
        Msg::info(T::stopText(ZbMsg));
        *stop = true;
        break;
    case T::ServerCommand::Http:
        OpenUrl(command);
        RunSql(Db::isSecureServer() ? T::commandResetCall(GetSrvDate(), CurZbID)
                                    : T::commandReset(GetSrvDate(), CurZbID));
        break;
    case T::ServerCommand::None:
        break;
    }
}

void Kuang::LoadUsrList() {
    Chk->setChecked(false);
    Chk2->setChecked(false);
    CmbUser->resize(Cmb->width(), CmbUser->height());
    if (CmbUser->count() == 0)
        fillUsrList();
    const int index = CurUsr.isEmpty() ? 0 : CmbUser->findText(CurUsr);
    CmbUser->setCurrentIndex(index);
    if (index >= 0)
        CmbUser_Click();
}

bool Kuang::fillUsrList() {
    const bool secure = Db::isSecureServer();
    const QString count = RunSql(secure ? T::operatorsCall(CurZbID) : T::operatorsQuery(CurZbID));
    if (count.isEmpty())
        return false;
    // The server's function has given an empty ledger its administrator already.
    if (count != QLatin1String("0") || secure) {
        QStringList names;
        for (int i = 1; i <= SqlRowMax; ++i)
            if (!SqlRows(i, 0).isEmpty())
                names.append(SqlRows(i, 0));
        session_->setOperators(names);
        return true;
    }
    // Only a ledger known to have no operator gets its administrator; a failed read must not
    // bring back a removed administrator without a password.
    RunSqlOne(T::adminInsert(CurZbID));
    session_->setOperators({QStringLiteral("管理员")});
    return true;
}

void Kuang::CmbUser_Click() {
    if (PanelNo != 1 || CmbUser->currentIndex() < 0 || CmbUser->currentText().isEmpty())
        return;
    const QString name = CmbUser->currentText();
    const QString pwd = LedgerList::rememberedPassword(name, CurZbID);
    CurUsr = name;
    TxtPwd->setText(pwd);
    if (pwd.isEmpty()) {
        Chk2->setChecked(false);
        return;
    }
    Chk2->setChecked(true);
    if (AutoLoginOn)
        LoginUsr();
}

void Kuang::Chk_Changed() {
    if (PanelNo == 1 && Chk->isChecked())
        Chk2->setChecked(true);
}

void Kuang::Chk2_Changed() {
    if (PanelNo == 1 && !Chk2->isChecked())
        Chk->setChecked(false);
}

bool Kuang::CmbUser_KeyPress(QKeyEvent* event) {
    if (PanelNo != 1 || event->text().isEmpty())
        return false;
    TxtPwd->setFocus();
    return true;
}

void Kuang::LoginUsr() {
    const Db::Action action;
    showWait(T::verifyingWait(CurUsr));
    CurUsr = CmbUser->currentText();
    const bool secure = Db::isSecureServer();
    if (secure) {
        // Logging in is connecting: an open connection of the same values proves nothing.
        Db::setSessionLogin(Db::operatorRole(CurZbID, CurUsr),
                            Db::loginPassword(CurZbID, CurUsr, TxtPwd->text()));
        Db::dropConnection();
    }
    const QString result = RunSql(secure ? T::secureLoginQuery(CurZbID, CurUsr)
                                         : T::loginQuery(CurZbID, SqlStr(CurUsr)));
    if (result.isEmpty() || result.toInt() <= 0) {
        hideWait();
        if (Db::lastCallStoppedWhileConnecting()) {
            if (secure)
                Db::clearSessionLogin();
            return;
        }
        refuseLogin(result, secure);
        return;
    }
    if (!secure && SqlRows(1, 0) != TxtPwd->text()) {
        hideWait();
        Msg::info(T::wrongPassword(), kHint);
        return;
    }
    CurQx = Rights::readWord(SqlRows(1, secure ? 0 : 1));
    // Settled before the entry panel shows: an item picked while it is being laid out shows
    // its quantity at once.
    ShowSL = Rights::has(CurQx, Rights::SeeQuantity) && LedgerList::autoShowSL(CurZbID, CurUsr);
    showWait(T::readingItemsWait(ItemName));
    ShowPanel(2);
    DoEvents(5);
    hideWait();
    if (ZbMsg.isEmpty())
        ZbMsg = T::hello();
    labHello->setText(T::greeting(CurUsr, ZbMsg));
    labHello->show();
    if (AutoLoginOn) {
        Chk->setChecked(true);
        AutoLoginOn = false;
    }
    LedgerList::setLastOperator(CurZbID, CurUsr);
    rememberLogin();
    DoEvents(3);
    Chk->hide();
    Chk2->hide();
}

void Kuang::refuseLogin(const QString& result, bool secure) {
    const bool refused = secure && Db::isAuthenticationRefusal(Db::lastOpenError());
    if (secure)
        Db::clearSessionLogin();
    if (!result.isEmpty()) {
        Msg::info(T::operatorDeleted(CurUsr));
        return;
    }
    if (!refused) {
        Msg::info(T::connectFailed());
        return;
    }
    // The server says the same for a wrong password and for a login that is not there.
    const QString exists = RunSqlOne(Db::operatorExistsCall(CurZbID, CurUsr));
    if (exists.isEmpty())
        Msg::info(T::connectFailed());
    else if (exists == QLatin1String("false"))
        Msg::info(T::operatorDeleted(CurUsr));
    else
        Msg::info(T::wrongPassword(), kHint);
}

void Kuang::rememberLogin() {
    if (!Chk2->isChecked()) {
        TxtPwd->clear();
        LedgerList::setRememberedPassword(CurUsr, CurZbID, QString());
        LedgerList::setAutoLogin(false);
        return;
    }
    LedgerList::setRememberedPassword(CurUsr, CurZbID, TxtPwd->text());
    if (!Chk->isChecked()) {
        LedgerList::setAutoLogin(false);
        return;
    }
    if (TxtPwd->text().isEmpty())
        Msg::info(T::noPasswordForAutoLogin(CurUsr));
    else
        LedgerList::setAutoLogin(true);
}
