#pragma once
// The main window: ledger panel (0), login panel (1) and entry panel (2) in one set of controls,
// its tray icon and its pop-up menus.

#include <QWidget>

class QAction;
class QFocusEvent;
class QKeyEvent;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class LedgerSession;

class Kuang : public QWidget {
    Q_OBJECT
public:
    static Kuang* instance();
    static void destroyInstance(); // tests start each run afresh

    // The open ledger's items, operators and notice, handed to the other windows.
    LedgerSession* session() const { return session_; }

    int PanelNo = 0;
    bool ExitNow = false;
    bool AutoLoginOn = false;
    bool ShowSL = false;
    QString SLItem;
    double SLValue = 0;

    void ShowPanel(int panel);

    // Ledger list.
    void LoadZbList();
    void SaveZbList();
    void AddZbToList();
    void RemoveZb();
    void ShowZbID();
    void BackToZbList();
    void armZbList();
    // For the ledger dialog: index of `id` among the ledgers (the add entry excluded), or -1.
    int findLedgerId(const QString& id, Qt::CaseSensitivity cs) const;
    // Inserts a ledger just before the add entry and selects it.
    void insertLedger(const QString& id, const QString& name);
    // The ledger dialog's answer: a joined ledger known here is selected as this computer knows
    // it, any other is listed; either becomes CurZbID / CurZbNm.
    void placeLedger(const QString& id, const QString& name, bool joined);

    // Opening and login.
    void OpenLedger();
    void LoadUsrList();
    void LoginUsr();

    // Record entry.
    void LoadItemList();
    QString GetItemSL(const QString& item);
    void SaveEntry();

    // Window events.
    void Form_Load();
    void Form_Activate();
    void Cmd_Click();
    void Menu_About_Click();
    // 服务器设置, from the ledger panel; asks to go back there first when a ledger is open.
    void Menu_SrvSet_Click();
    void Menu_Form_Click();
    void MenuExit_Click();
    void CmdRpt_Click();
    void Menu_SumSL_Click();
    void Menu_JxcMx_Click();
    void Menu_DaoRu_Click();
    void Menu_JxcHZ_Click();
    void Menu_ShLst_Click();
    void trayActivated(int reason);
    bool trayShown() const;

    // Administration menu.
    void Menu_ReName_Click();
    void Menu_ZbTyp_Click();
    void Menu_ReSetPwd_Click();
    void Menu_Guanli_Click();
    void Menu_GongGao_Click();
    // Lab3 with the session's notice, or the entry hint when there is none.
    void showNotice();

    // The data entries of the system menu: the embedded file's copies, and moving a ledger.
    void Menu_BackUp_Click();
    void Menu_Restore_Click();
    void Menu_MoveZb_Click();
    void Menu_CopyZb_Click();
    // Which of them the database now in use allows, each refused one with its reason.
    void updateDataMenu();

signals:
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Kuang();
    void createControls();
    void createMenus();
    void createTray();
    void followSession();
    void placeControls();
    void layoutLedgerPanel();
    void layoutLoginPanel();
    void layoutEntryPanel();
    void focusPanelInput();
    void showWait(const QString& caption);
    void hideWait();
    void endProgram();
    void minimizeToTray();

    void CmbZbNm_Click(int index);
    void CmbZbNm_GotFocus();
    bool fillUsrList(); // false when the operators could not be read
    void CmbUser_Click();
    void Chk_Changed();
    void Chk2_Changed();
    void carryOutServerCommand(const QString& command, bool* stop);
    void rememberLogin();
    // The message for a login the server did not let through, and the guest again.
    void refuseLogin(const QString& result, bool secure);

    bool CmbUser_KeyPress(QKeyEvent* event);
    bool Cmb_KeyPress(QKeyEvent* event);
    void Cmb_FocusOut(QFocusEvent* event);
    void Txt_Change();
    void Cmb_Change();
    void Cmb_Click();
    void Cmb_LostFocus();
    void Lab4_Click();
    void Menu_SeeSL_Click();
    void Menu_AutoShowSet_Click();
    void CmdHelp_Click();
    void CmdMenu_Click();
    void setHintAfterSave(const QString& item, double quantity);
    // Right n of CurQx, or the refusal.
    bool hasRight(int n);
    void moveLedger(bool toServer);

public:
    // Controls, named as the design names them.
    QLabel* LabTop;
    QLabel* LabWelcome;
    QLabel* labHello;
    QLabel* Lab1;
    QLabel* Lab2;
    QLabel* Lab3;
    QLabel* Lab4;
    QLabel* Lab5;
    QComboBox* CmbZbNm;
    QComboBox* CmbZbID;
    QComboBox* CmbUser;
    QLineEdit* TxtPwd;
    QComboBox* Cmb;
    QLineEdit* Txt;
    QPushButton* Cmd;
    QPushButton* Cmd2;
    QCheckBox* Chk;
    QCheckBox* Chk2;
    QPushButton* CmdWait;
    QPushButton* CmdMenu;
    QPushButton* CmdRpt;
    QPushButton* CmdHelp;
    QPushButton* CmdSrv;

    QMenu* traymenu;
    QAction* Menu_About;
    QAction* Menu_ToWeb;
    QAction* Menu_TJ[3];
    QAction* Menu_SrvSet;
    QAction* Menu_HL;
    QAction* Menu_Form;
    QAction* MenuExit;

    QMenu* Menu_Cmd;
    QAction* Menu_BackZB;
    QAction* Menu_Lb;
    QAction* Menu_SeeZbID;
    QAction* Menu_ReName;
    QAction* Menu_ZbTyp;
    QAction* Menu_Line1;
    QAction* Menu_Login;
    QAction* Menu_ReSetPwd;
    QAction* Menu_Line2;
    QAction* Menu_Guanli;
    QAction* Menu_GongGao;
    QAction* Menu_Line3;
    QAction* Menu_BackUp;
    QAction* Menu_Restore;
    QAction* Menu_MoveZb;
    QAction* Menu_CopyZb;

    QMenu* Menu_Rpt;
    QAction* Menu_SumSL;
    QAction* Menu_LLL;
    QAction* Menu_JxcMx;
    QAction* Menu_DaoRu;
    QAction* Menu_JxcHZ;
    QAction* Menu_ShLst;

    QMenu* Menu_ShowSL;
    QAction* Menu_SeeSL;
    QAction* Menu_AutoShowSet;

    QSystemTrayIcon* tray = nullptr;

private:
    bool coupling_ = false;
    LedgerSession* session_;
    QSize savedSize_;
};
