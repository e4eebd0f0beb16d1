// The main window's administration commands: each tests its right and opens its window.
#include "main_window/kuang.h"

#include "admin/gonggao.h"
#include "admin/gonggaorules.h"
#include "admin/rights.h"
#include "admin/usrgl.h"
#include "admin/usrpwd.h"
#include "admin/zbtyp.h"
#include "admin/zbtyprules.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "db/sqlaccess.h"
#include "main_window/kuangtexts.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace MainBas;

namespace {
const QString kOK = QStringLiteral("OK");
} // namespace

bool Kuang::hasRight(int n) {
    if (Rights::has(CurQx, n))
        return true;
    Msg::info(Rights::refusal());
    return false;
}

void Kuang::Menu_ReName_Click() {
    if (!hasRight(Rights::Admin))
        return;
    const QString oldName = CurZbNm;
    ZbTyp* dialog = ZbTyp::instance();
    dialog->TxtZbID->setText(CurZbID);
    dialog->TxtZbNm->setText(CurZbNm);
    dialog->EdZbNm = 1;
    dialog->showFrame(1);
    dialog->exec();
    if (CurZbNm == oldName)
        return;
    // The server first: a name changed only here would part from the one the server keeps.
    if (RunSql(ZbTypRules::renameUpdate(CurZbID, CurZbNm)) != kOK) {
        CurZbNm = oldName;
        Msg::info(ZbTypRules::connectFailed());
        return;
    }
    LabTop->setText(CurZbNm);
    const int at = findLedgerId(CurZbID, Qt::CaseSensitive);
    if (at >= 0)
        CmbZbNm->setItemText(at, CurZbNm);
    SaveZbList();
}

void Kuang::Menu_ZbTyp_Click() {
    if (!hasRight(Rights::Admin))
        return;
    const QString oldItem = ItemName;
    const QString oldSl = SlName;
    ZbTyp* dialog = ZbTyp::instance();
    dialog->TxtZbID->setText(CurZbID);
    dialog->TxtZbNm->setText(CurZbNm);
    dialog->showFrame(2);
    dialog->exec();
    if (ItemName != oldItem || SlName != oldSl)
        ShowPanel(2);
}

void Kuang::Menu_ReSetPwd_Click() {
    if (!hasRight(Rights::OwnPassword))
        return;
    DlgRet.clear();
    UsrPwd dialog(this);
    dialog.lockName(CurUsr);
    dialog.exec();
    if (DlgRet == kOK) {
        ShowPanel(1);
        focusPanelInput();
    }
}

void Kuang::Menu_Guanli_Click() {
    if (!hasRight(Rights::Admin))
        return;
    UsrGL dialog(*session_, this);
    dialog.exec();
}

void Kuang::Menu_GongGao_Click() {
    if (!hasRight(Rights::Notice))
        return;
    GongGao dialog(*session_, this);
    // The report button keeps its own state: it may be off for reasons of its own.
    const bool rptOn = CmdRpt->isEnabled();
    CmdMenu->setEnabled(false);
    CmdRpt->setEnabled(false);
    dialog.exec();
    CmdMenu->setEnabled(true);
    CmdRpt->setEnabled(rptOn);
}
