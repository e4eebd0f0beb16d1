#include "main_window/kuang.h"

#include "app/callwait.h"
#include "app/itemcompleter.h"
#include "app/ledgersession.h"

#include "admin/gonggao.h"
#include "admin/gonggaorules.h"
#include "admin/rights.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "app/twips.h"
#include "db/backup.h"
#include "db/ledgermove.h"
#include "db/sqlaccess.h"
#include "db/srvset.h"
#include "main_window/appicon.h"
#include "main_window/kuangtexts.h"
#include "main_window/ledgerlist.h"
#include "reports/drlst.h"
#include "reports/hzlst.h"
#include "reports/importwrite.h"
#include "reports/kclst.h"
#include "reports/mxlst.h"
#include "reports/reportwidgets.h"
#include "reports/shlst.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>

using namespace MainBas;

using Twips::tw;

namespace {

Kuang* theKuang = nullptr;

template <typename T> T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QAction* action(QMenu* menu, const char* name, const QString& caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QAction* separator(QMenu* menu, const char* name) {
    QAction* a = menu->addSeparator();
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

void setLabelColour(QLabel* label, int stored) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, noticeColour(stored, QApplication::palette(label)));
    label->setPalette(p);
}

} // namespace

Kuang* Kuang::instance() {
    if (!theKuang) {
        theKuang = new Kuang();
        theKuang->Form_Load();
    }
    return theKuang;
}

void Kuang::destroyInstance() {
    delete theKuang;
    theKuang = nullptr;
}

Kuang::Kuang() : QWidget(nullptr, Qt::Window), session_(new LedgerSession(this)) {
    setObjectName(QStringLiteral("Kuang"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Tessaro快捷记账软件"));
    setWindowIcon(appIcon());
    createControls();
    placeControls();
    createMenus();
    createTray();
    followSession();
    CallWait::setMainWindow(this, [this] {
        ExitNow = true;
        endProgram();
    });
    CallWait::allowDuringWait(traymenu);
}

// Cmb and CmbUser show the session's lists, whichever window changed them.
void Kuang::followSession() {
    connect(session_, &LedgerSession::itemsReset, this, [this] {
        Cmb->clear();
        Cmb->addItems(session_->items());
        // The box starts empty: the first item is a choice to make, not a preset.
        Cmb->setCurrentIndex(-1);
        Cmb->setEditText(QString());
    });
    connect(session_, &LedgerSession::itemAdded, this,
            [this](const QString& item) { Cmb->addItem(item); });
    connect(session_, &LedgerSession::operatorsChanged, this, [this] {
        const QString current = CmbUser->currentText();
        CmbUser->clear();
        CmbUser->addItems(session_->operators());
        CmbUser->setCurrentIndex(CmbUser->findText(current));
    });
    connect(session_, &LedgerSession::noticeChanged, this, &Kuang::showNotice);
}

void Kuang::createControls() {
    LabTop = named(new QLabel(this), "LabTop");
    LabWelcome = named(new QLabel(this), "LabWelcome");
    labHello = named(new QLabel(this), "labHello");
    Lab1 = named(new QLabel(this), "Lab1");
    Lab2 = named(new QLabel(this), "Lab2");
    Lab3 = named(new QLabel(this), "Lab3");
    Lab4 = named(new QLabel(this), "Lab4");
    Lab5 = named(new QLabel(this), "Lab5");
    CmbZbNm = named(new QComboBox(this), "CmbZbNm");
    CmbZbID = named(new QComboBox(this), "CmbZbID");
    CmbUser = named(new QComboBox(this), "CmbUser");
    TxtPwd = named(new QLineEdit(this), "TxtPwd");
    Cmb = named(new QComboBox(this), "Cmb");
    Txt = named(new QLineEdit(this), "Txt");
    Cmd = named(new QPushButton(this), "Cmd");
    Cmd2 = named(new QPushButton(QStringLiteral("删除账本"), this), "Cmd2");
    Chk = named(new QCheckBox(this), "Chk");
    Chk2 = named(new QCheckBox(QStringLiteral("记住密码"), this), "Chk2");
    CmdWait = named(new QPushButton(this), "CmdWait");
    CmdMenu = named(new QPushButton(QStringLiteral("系 统 管 理"), this), "CmdMenu");
    CmdRpt = named(new QPushButton(QStringLiteral("统 计 报 表"), this), "CmdRpt");
    CmdHelp = named(new QPushButton(QStringLiteral("软 件 说 明"), this), "CmdHelp");
    CmdSrv = named(new QPushButton(QStringLiteral("服务器设置"), this), "CmdSrv");

    CmbZbID->hide();
    CmbUser->hide();
    TxtPwd->hide();
    Msg::starEcho(TxtPwd);
    Cmb->setEditable(true);
    Cmb->setInsertPolicy(QComboBox::NoInsert);
    Cmb->setCompleter(nullptr);
    ItemCompleter::attach(Cmb);
    Cmb->setMaxVisibleItems(15);
    Lab3->setWordWrap(true);
    Lab3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Names, notices and greetings come from the server or from people: never read as markup.
    for (QLabel* label : {LabTop, LabWelcome, labHello, Lab1, Lab2, Lab3, Lab4, Lab5})
        label->setTextFormat(Qt::PlainText);
    Lab4->setCursor(Qt::PointingHandCursor);
    Lab4->hide();
    Lab5->hide();
    CmdWait->hide();
    for (QWidget* w : std::initializer_list<QWidget*>{CmbZbNm, CmbUser, Cmb, Lab4, Cmb->lineEdit()})
        w->installEventFilter(this);

    connect(Cmd, &QPushButton::clicked, this, &Kuang::Cmd_Click);
    connect(Cmd2, &QPushButton::clicked, this, &Kuang::RemoveZb);
    connect(CmbZbNm, &QComboBox::activated, this, &Kuang::CmbZbNm_Click);
    connect(CmbZbNm, &QComboBox::currentIndexChanged, CmbZbID, &QComboBox::setCurrentIndex);
    connect(CmbUser, &QComboBox::activated, this, &Kuang::CmbUser_Click);
    connect(Chk, &QCheckBox::toggled, this, &Kuang::Chk_Changed);
    connect(Chk2, &QCheckBox::toggled, this, &Kuang::Chk2_Changed);
    connect(TxtPwd, &QLineEdit::returnPressed, this, &Kuang::Cmd_Click);
    connect(Txt, &QLineEdit::returnPressed, this, &Kuang::Cmd_Click);
    connect(Txt, &QLineEdit::textChanged, this, &Kuang::Txt_Change);
    connect(Cmb, &QComboBox::editTextChanged, this, &Kuang::Cmb_Change);
    connect(Cmb, &QComboBox::activated, this, &Kuang::Cmb_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &Kuang::CmdHelp_Click);
    connect(CmdSrv, &QPushButton::clicked, this, &Kuang::Menu_SrvSet_Click);
    connect(CmdMenu, &QPushButton::clicked, this, &Kuang::CmdMenu_Click);
    connect(CmdRpt, &QPushButton::clicked, this, &Kuang::CmdRpt_Click);
}

void Kuang::placeControls() {
    setFixedSize(tw(7650), tw(5100));
    QFont big = LabTop->font();
    big.setPointSize(big.pointSize() + 7);
    big.setBold(true);
    LabTop->setFont(big);
    LabTop->setAlignment(Qt::AlignCenter);
    LabTop->setStyleSheet(QStringLiteral("color: #1f4e9c;"));
    LabTop->setGeometry(0, tw(150), width(), tw(540));
    labHello->setGeometry(tw(600), tw(690), tw(6450), tw(270));
    labHello->setStyleSheet(QStringLiteral("color: #2e7d32;"));
    Lab1->setGeometry(tw(600), tw(960), tw(4500), tw(300));
    LabWelcome->setGeometry(Lab1->geometry().adjusted(0, 0, tw(1950), 0));
    Cmb->setGeometry(tw(600), tw(1290), tw(3000), tw(420));
    Lab2->setGeometry(tw(600), tw(1800), tw(4500), tw(300));
    Txt->setGeometry(tw(600), tw(2130), tw(3000), tw(420));
    TxtPwd->setGeometry(Txt->geometry());
    CmbUser->setGeometry(Cmb->geometry());
    CmbZbNm->setGeometry(Cmb->geometry());
    Lab4->setGeometry(tw(3720), tw(1335), tw(2400), tw(330));
    Lab5->setGeometry(tw(3720), tw(2175), tw(2400), tw(330));
    Lab5->setStyleSheet(QStringLiteral("color: #2e7d32;"));
    Lab4->setStyleSheet(QStringLiteral("color: #b05000; text-decoration: underline;"));
    Cmd2->setGeometry(tw(6300), tw(2115), tw(1050), tw(450));
    Cmd->setGeometry(tw(6300), tw(2115), tw(1200), tw(450));
    Chk->setGeometry(tw(600), tw(2700), tw(3300), tw(330));
    Chk2->setGeometry(tw(3900), tw(2700), tw(2250), tw(330));
    Lab3->setGeometry(tw(600), tw(3090), tw(6450), tw(1260));
    CmdWait->resize(tw(4800), tw(450));
    CmdWait->setStyleSheet(QStringLiteral("background: #fff8d0; border: 1px solid #c8a800;"));
    CmdMenu->setGeometry(tw(600), tw(4470), tw(2000), tw(450));
    CmdRpt->setGeometry(tw(2825), tw(4470), tw(2000), tw(450));
    CmdHelp->setGeometry(tw(5050), tw(4470), tw(2000), tw(450));
    CmdSrv->setGeometry(CmdMenu->geometry());
}

void Kuang::createMenus() {
    traymenu = named(new QMenu(this), "traymenu");
    Menu_About = action(traymenu, "Menu_About", QStringLiteral("关于本软件(&A)"));
    Menu_ToWeb = action(traymenu, "Menu_ToWeb", QStringLiteral("软件教学视频(&V)"));
    Menu_TJ[0] = separator(traymenu, "Menu_TJ_0");
    Menu_TJ[1] = action(traymenu, "Menu_TJ_1", QStringLiteral("更多 Zelvo 软件(&M)"));
    Menu_TJ[2] = action(traymenu, "Menu_TJ_2", QStringLiteral("Zelvo 新版本与更新(&U)"));
    Menu_SrvSet = action(traymenu, "Menu_SrvSet", QStringLiteral("服务器设置(&S)"));
    Menu_HL = separator(traymenu, "Menu_HL");
    Menu_Form = action(traymenu, "Menu_Form", QStringLiteral("打开记账窗口(&O)"));
    MenuExit = action(traymenu, "MenuExit", QStringLiteral("退出本软件(&Q)"));
    Menu_Form->setVisible(false);
    connect(Menu_About, &QAction::triggered, this, &Kuang::Menu_About_Click);
    connect(Menu_SrvSet, &QAction::triggered, this, &Kuang::Menu_SrvSet_Click);
    for (QAction* a : {Menu_ToWeb, Menu_TJ[1], Menu_TJ[2]})
        connect(a, &QAction::triggered, this, [] { OpenUrl(helpPagePath()); });
    connect(Menu_Form, &QAction::triggered, this, &Kuang::Menu_Form_Click);
    connect(MenuExit, &QAction::triggered, this, &Kuang::MenuExit_Click);
    // While a call waits the tray's menu only quits or shows the window.
    connect(traymenu, &QMenu::aboutToShow, this, [this] {
        for (QAction* a : traymenu->actions())
            a->setEnabled(!Db::callWaiting() || a == MenuExit || a == Menu_Form);
    });

    Menu_Cmd = named(new QMenu(this), "Menu_Cmd");
    Menu_BackZB = action(Menu_Cmd, "Menu_BackZB", QStringLiteral("返回到账本管理"));
    Menu_Lb = separator(Menu_Cmd, "Menu_Lb");
    Menu_SeeZbID = action(Menu_Cmd, "Menu_SeeZbID", QStringLiteral("查看账本ID"));
    Menu_ReName = action(Menu_Cmd, "Menu_ReName", QStringLiteral("修改账本名称"));
    Menu_ZbTyp = action(Menu_Cmd, "Menu_ZbTyp", QStringLiteral("账本类型设置"));
    Menu_Line1 = separator(Menu_Cmd, "Menu_Line1");
    Menu_Login = action(Menu_Cmd, "Menu_Login", QStringLiteral("重新登录"));
    Menu_ReSetPwd = action(Menu_Cmd, "Menu_ReSetPwd", QStringLiteral("修改密码"));
    Menu_Line2 = separator(Menu_Cmd, "Menu_Line2");
    Menu_Guanli = action(Menu_Cmd, "Menu_Guanli", QStringLiteral("操作员管理"));
    Menu_GongGao = action(Menu_Cmd, "Menu_GongGao", QStringLiteral("内部公告板"));
    connect(Menu_BackZB, &QAction::triggered, this, &Kuang::BackToZbList);
    connect(Menu_SeeZbID, &QAction::triggered, this, &Kuang::ShowZbID);
    connect(Menu_Login, &QAction::triggered, this, [this] {
        ShowPanel(1);
        focusPanelInput();
    });
    connect(Menu_ReName, &QAction::triggered, this, &Kuang::Menu_ReName_Click);
    connect(Menu_ZbTyp, &QAction::triggered, this, &Kuang::Menu_ZbTyp_Click);
    connect(Menu_ReSetPwd, &QAction::triggered, this, &Kuang::Menu_ReSetPwd_Click);
    connect(Menu_Guanli, &QAction::triggered, this, &Kuang::Menu_Guanli_Click);
    connect(Menu_GongGao, &QAction::triggered, this, &Kuang::Menu_GongGao_Click);
    Menu_Line3 = separator(Menu_Cmd, "Menu_Line3");
    Menu_BackUp = action(Menu_Cmd, "Menu_BackUp", Backup::menuBackUp());
    Menu_Restore = action(Menu_Cmd, "Menu_Restore", Backup::menuRestore());
    Menu_MoveZb = action(Menu_Cmd, "Menu_MoveZb", LedgerMove::menuMove());
    Menu_CopyZb = action(Menu_Cmd, "Menu_CopyZb", LedgerMove::menuCopy());
    // A greyed entry says why it is grey.
    Menu_Cmd->setToolTipsVisible(true);
    connect(Menu_BackUp, &QAction::triggered, this, &Kuang::Menu_BackUp_Click);
    connect(Menu_Restore, &QAction::triggered, this, &Kuang::Menu_Restore_Click);
    connect(Menu_MoveZb, &QAction::triggered, this, &Kuang::Menu_MoveZb_Click);
    connect(Menu_CopyZb, &QAction::triggered, this, &Kuang::Menu_CopyZb_Click);

    Menu_Rpt = named(new QMenu(this), "Menu_Rpt");
    Menu_SumSL = action(Menu_Rpt, "Menu_SumSL", QString());
    Menu_LLL = separator(Menu_Rpt, "Menu_LLL");
    Menu_JxcMx = action(Menu_Rpt, "Menu_JxcMx", QString());
    Menu_DaoRu = action(Menu_Rpt, "Menu_DaoRu", QStringLiteral("批量导入"));
    Menu_JxcHZ = action(Menu_Rpt, "Menu_JxcHZ", QString());
    Menu_ShLst = action(Menu_Rpt, "Menu_ShLst", Audit::caption());
    connect(Menu_SumSL, &QAction::triggered, this, &Kuang::Menu_SumSL_Click);
    connect(Menu_JxcMx, &QAction::triggered, this, &Kuang::Menu_JxcMx_Click);
    connect(Menu_DaoRu, &QAction::triggered, this, &Kuang::Menu_DaoRu_Click);
    connect(Menu_JxcHZ, &QAction::triggered, this, &Kuang::Menu_JxcHZ_Click);
    connect(Menu_ShLst, &QAction::triggered, this, &Kuang::Menu_ShLst_Click);

    Menu_ShowSL = named(new QMenu(this), "Menu_ShowSL");
    Menu_SeeSL = action(Menu_ShowSL, "Menu_SeeSL", QString());
    Menu_AutoShowSet = action(Menu_ShowSL, "Menu_AutoShowSet", QString());
    connect(Menu_SeeSL, &QAction::triggered, this, &Kuang::Menu_SeeSL_Click);
    connect(Menu_AutoShowSet, &QAction::triggered, this, &Kuang::Menu_AutoShowSet_Click);
}

void Kuang::createTray() {
    tray = new QSystemTrayIcon(appIcon(), this);
    tray->setObjectName(QStringLiteral("TrayIcon"));
    tray->setContextMenu(traymenu);
    connect(tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) { trayActivated(static_cast<int>(r)); });
}

bool Kuang::trayShown() const {
    return tray && tray->isVisible();
}

void Kuang::Form_Load() {
    tray->setToolTip(windowTitle());
    if (QSystemTrayIcon::isSystemTrayAvailable())
        tray->show();
    PanelNo = 0;
    ShowPanel(0);
    ExitNow = false;
    if (!CurZbID.isEmpty()) {
        AutoOpenFlag = LedgerList::autoOpen().toInt();
        if (AutoOpenFlag == 1) {
            Chk->setChecked(true);
            OpenLedger();
        }
    }
    savedSize_ = size();
    CmdWait->move((width() - CmdWait->width()) / 2 - tw(50), Lab1->y());
}

void Kuang::Form_Activate() {
    // A window system may activate this window while a dialog of ours is still up; the list
    // must not be armed under it.
    if (PanelNo == 0 && !QApplication::activeModalWidget())
        armZbList();
}

void Kuang::ShowPanel(int panel) {
    Cmd2->hide();
    Chk2->hide();
    Lab4->hide();
    PanelNo = panel;
    setWindowTitle(KuangTexts::caption());
    if (panel == 0)
        layoutLedgerPanel();
    else if (panel == 1)
        layoutLoginPanel();
    else
        layoutEntryPanel();
    updateDataMenu();
}

void Kuang::layoutLedgerPanel() {
    LabTop->setText(KuangTexts::ledgerPanelTop());
    CmbZbNm->setGeometry(Cmb->x(), Cmb->y(), Cmb->width() * 145 / 100, Cmb->height());
    LoadZbList();
    Cmd->move(Cmd2->x() - Cmd->width() - tw(100), Cmd->y());
    Cmd2->show();
    for (QWidget* w :
         std::initializer_list<QWidget*>{Txt, Cmb, labHello, CmdMenu, CmdRpt, TxtPwd, CmbUser})
        w->hide();
    CmdSrv->show();
    CmbZbNm->show();
    Lab1->clear();
    Lab2->clear();
    Cmd->setText(QStringLiteral("打开账本"));
    Chk->setText(QStringLiteral("下次自动打开该账本"));
    Chk->show();
    Chk->setChecked(AutoOpenFlag == 1);
    LabWelcome->setText(KuangTexts::welcome());
    LabWelcome->move(Lab1->pos());
    LabWelcome->show();
    setLabelColour(Lab3, 0xFF8080);
    Lab3->setText(KuangTexts::supplierLines());
}

void Kuang::layoutLoginPanel() {
    CmdSrv->hide();
    LabTop->setText(CurZbNm);
    LabWelcome->hide();
    Cmd->move(Cmd2->x(), Cmd->y());
    CmbZbNm->hide();
    Cmb->hide();
    CmbUser->move(Cmb->pos());
    CmbUser->show();
    labHello->hide();
    CmdRpt->hide();
    Lab1->setText(QStringLiteral("操作员"));
    Lab2->setText(QStringLiteral("密码"));
    Lab2->show();
    TxtPwd->move(Txt->pos());
    Txt->hide();
    TxtPwd->show();
    Cmd->setText(QStringLiteral(" 登 入"));
    Txt->clear();
    Chk->setText(QStringLiteral("自动登入"));
    Chk->show();
    Chk2->show();
    Lab3->setText(KuangTexts::loginHint());
    CmdMenu->show();
    LoadUsrList();
}

void Kuang::layoutEntryPanel() {
    CmdSrv->hide();
    CmbUser->hide();
    TxtPwd->hide();
    Cmb->show();
    Txt->show();
    LabTop->setText(CurZbNm);
    Lab1->setText(ItemName);
    Lab2->setText(SlName + QStringLiteral("增减"));
    Cmd->setText(QStringLiteral(" 记 账 "));
    Cmb->setEnabled(true);
    Txt->clear();
    Chk2->hide();
    Chk->hide();
    showNotice();
    // A login starts the hint afresh: the last operator's or ledger's sum must not show.
    SLItem.clear();
    SLValue = 0;
    Lab4->clear();
    Lab4->hide();
    CmdMenu->show();
    CmdRpt->show();
    DoEvents();
    LoadItemList();
}

void Kuang::showWait(const QString& caption) {
    CmdWait->setText(caption);
    CmdWait->show();
    CmdWait->raise();
    DoEvents();
}

void Kuang::hideWait() {
    CmdWait->hide();
}

void Kuang::Cmd_Click() {
    if (!Cmd->isEnabled())
        return; // Enter pressed again while the last action still runs
    Cmd->setEnabled(false);
    const int before = PanelNo;
    if (PanelNo == 0)
        OpenLedger();
    else if (PanelNo == 1)
        LoginUsr();
    else
        SaveEntry();
    Cmd->setEnabled(true);
    if (PanelNo != before)
        focusPanelInput();
}

void Kuang::focusPanelInput() {
    // A new panel is typed into at once; the button that led to it must not keep the keys.
    QWidget* input = PanelNo == 0   ? static_cast<QWidget*>(CmbZbNm)
                     : PanelNo == 1 ? static_cast<QWidget*>(TxtPwd)
                                    : static_cast<QWidget*>(Cmb);
    if (input->isVisible())
        input->setFocus();
}

void Kuang::Menu_About_Click() {
    Msg::box(KuangTexts::aboutText(), QMessageBox::Information, KuangTexts::aboutTitle());
}

void Kuang::Menu_Form_Click() {
    showNormal();
    raise();
    activateWindow();
    Menu_Form->setVisible(false);
}

void Kuang::MenuExit_Click() {
    ExitNow = true;
    close();
}

void Kuang::trayActivated(int reason) {
    if (reason == QSystemTrayIcon::Trigger)
        Menu_Form_Click();
    else if (reason == QSystemTrayIcon::Context)
        traymenu->popup(QCursor::pos());
}

void Kuang::CmdHelp_Click() {
    traymenu->popup(CmdHelp->mapToGlobal(QPoint(0, CmdHelp->height())));
}

void Kuang::CmdMenu_Click() {
    // The login panel offers only the ledger entries: nobody is logged in yet.
    const bool all = PanelNo != 1;
    for (QAction* a :
         {Menu_ReName, Menu_ZbTyp, Menu_Line1, Menu_Login, Menu_ReSetPwd, Menu_Line2, Menu_Guanli,
          Menu_GongGao, Menu_Line3, Menu_BackUp, Menu_Restore, Menu_MoveZb, Menu_CopyZb})
        a->setVisible(all);
    updateDataMenu();
    Menu_Cmd->popup(CmdMenu->mapToGlobal(QPoint(0, CmdMenu->height())));
}

void Kuang::showNotice() {
    const QString& stored = session_->notice();
    if (stored.isEmpty()) {
        setLabelColour(Lab3, GongGaoRules::kHintColour);
        Lab3->setText(KuangTexts::entryHint(ItemName, SlName));
        return;
    }
    const KuangTexts::Notice notice = KuangTexts::parseNotice(stored);
    if (notice.hasColour)
        setLabelColour(Lab3, notice.colour);
    Lab3->setText(GongGaoRules::fromStored(notice.text));
}

void Kuang::Menu_SrvSet_Click() {
    if (PanelNo != 0) {
        if (!Msg::askYesNo(KuangTexts::backForServerSettings(), QMessageBox::Question))
            return;
        BackToZbList();
    }
    if (!isVisible())
        Menu_Form_Click();
    SrvSet dialog(this);
    dialog.exec();
}

void Kuang::CmdRpt_Click() {
    Menu_SumSL->setText(KuangTexts::balanceListCaption(ItemName, SlName));
    Menu_JxcMx->setText(KuangTexts::journalCaption(ItemName));
    Menu_JxcHZ->setText(KuangTexts::summaryCaption(ItemName));
    Menu_Rpt->popup(CmdRpt->mapToGlobal(QPoint(0, CmdRpt->height())));
}

void Kuang::Menu_SumSL_Click() {
    if (!Report::requireRight(Rights::BalanceList))
        return;
    KcLst balance(*session_, this);
    balance.setWindowTitle(Menu_SumSL->text());
    balance.exec();
}

void Kuang::Menu_JxcMx_Click() {
    if (!Report::requireRight(Rights::Journal))
        return;
    // A fresh window each time, so its filters start from their defaults.
    MxLst journal(*session_, this);
    journal.setWindowTitle(Menu_JxcMx->text());
    journal.exec();
}

void Kuang::Menu_DaoRu_Click() {
    // Without either entry right nothing could ever be imported.
    const QString refusal = Import::rightsRefusal({}, CurQx, SlName);
    if (!refusal.isEmpty()) {
        Msg::info(refusal);
        return;
    }
    DrLst import(*session_, this);
    import.exec();
}

void Kuang::Menu_JxcHZ_Click() {
    if (!Report::requireRight(Rights::Summary))
        return;
    HzLst summary(*session_, this);
    summary.setWindowTitle(Menu_JxcHZ->text());
    summary.exec();
}

void Kuang::Menu_ShLst_Click() {
    if (!Report::requireRight(Rights::Audit))
        return;
    ShLst audit(*session(), this);
    audit.exec();
}

void Kuang::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!ExitNow && Msg::box(KuangTexts::exitQuestion(), QMessageBox::Question, QString(),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        showMinimized();
        return;
    }
    endProgram();
}

void Kuang::endProgram() {
    Db::cancelWaitingCall();
    tray->hide();
    hide();
    emit programEnded();
    QCoreApplication::quit();
}

void Kuang::minimizeToTray() {
    // Only where the desktop has a tray: elsewhere the window stays in the task bar.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tray->setToolTip(windowTitle());
    tray->show();
    Menu_Form->setVisible(true);
    QTimer::singleShot(0, this, &QWidget::hide);
}

void Kuang::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        if (isMinimized())
            minimizeToTray();
        else
            Menu_Form->setVisible(false);
    } else if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        Form_Activate();
    }
    QWidget::changeEvent(event);
}

bool Kuang::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == CmbZbNm && type == QEvent::FocusIn)
        CmbZbNm_GotFocus();
    else if (watched == CmbUser && type == QEvent::KeyPress)
        return CmbUser_KeyPress(static_cast<QKeyEvent*>(event));
    else if ((watched == Cmb || watched == Cmb->lineEdit()) && type == QEvent::KeyPress)
        return Cmb_KeyPress(static_cast<QKeyEvent*>(event));
    else if (watched == Cmb && type == QEvent::FocusOut)
        Cmb_FocusOut(static_cast<QFocusEvent*>(event));
    else if (watched == Lab4 && type == QEvent::MouseButtonRelease)
        Lab4_Click();
    return QWidget::eventFilter(watched, event);
}
