// The administration menu and its windows driven through the main window, as a person would.
#include "admin/gonggao.h"
#include "admin/usrgl.h"
#include "admin/zbtyp.h"
#include "app/clock.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "db/sqlaccess.h"
#include "main_window/kuang.h"
#include "main_window/kuangtexts.h"
#include "main_window/ledgerlist.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace MainBas;

namespace {

const QString kAll(16, QLatin1Char('1'));
const QString kRefusal = QStringLiteral("对不起，您无此权限！");

QString without(std::initializer_list<int> rights) {
    QString w = kAll;
    for (int n : rights)
        w[n - 1] = QLatin1Char('0');
    return w;
}

template <typename T> T* get(QWidget* window, const QString& name) {
    T* w = window->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

void click(QWidget* window, const QString& name) {
    QWidget* w = get<QWidget>(window, name);
    ASSERT_TRUE(w && w->isVisible()) << name.toStdString();
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(6, w->height() / 2));
}

bool ticked(QWidget* window, int box) {
    return get<QCheckBox>(window, "Chk_" + QString::number(box))->isChecked();
}

QStringList lines(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList items(QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

// Acts on the next modal window once it is up, and closes it if the act left it open.
class ModalDriver {
public:
    ModalDriver() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d || busy_)
                return;
            busy_ = true;
            seen.append(d->objectName());
            if (act_) {
                auto act = std::move(act_);
                act_ = nullptr;
                act(d);
            }
            if (d->isVisible())
                d->reject();
            busy_ = false;
        });
        timer_.start(10);
    }
    void next(std::function<void(QDialog*)> act) { act_ = std::move(act); }
    QStringList seen;

private:
    QTimer timer_;
    std::function<void(QDialog*)> act_;
    bool busy_ = false;
};

class AdminFlow : public ::testing::Test {
protected:
    void SetUp() override {
        Msg::clearShown();
        Clock::set(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
        sql("insert into Zblst (ZBid,ZbNm,Item,SL,Msg) values "
            "('L1','仓库','物品','存量','您好！')");
        ASSERT_TRUE(TestSupport::addOperator("L1", "管理员"));
        ASSERT_TRUE(TestSupport::addOperator("L1", "会计"));
    }
    void TearDown() override {
        Kuang::destroyInstance();
        ZbTyp::destroyInstance();
        Msg::clearShown();
    }
    static void sql(const QString& statement) {
        ASSERT_EQ(TestSupport::ownerSql(statement), "OK") << statement.toStdString();
    }

    // Opens L1 on this computer's store and logs in.
    void loginAs(const QString& usr, const QString& pwd, bool remember = false) {
        LedgerList::save({{"L1", "仓库"}});
        LedgerList::setLastOpened("L1");
        k = Kuang::instance();
        k->show();
        QTest::mouseClick(k->Cmd, Qt::LeftButton);
        ASSERT_EQ(k->PanelNo, 1);
        relogin(usr, pwd, remember);
    }
    void relogin(const QString& usr, const QString& pwd, bool remember = false) {
        k->CmbUser->setCurrentIndex(k->CmbUser->findText(usr));
        QMetaObject::invokeMethod(k->CmbUser, "activated", Q_ARG(int, k->CmbUser->currentIndex()));
        k->Chk2->setChecked(remember);
        k->TxtPwd->setText(pwd);
        QTest::keyClick(k->TxtPwd, Qt::Key_Return);
        ASSERT_EQ(k->PanelNo, 2) << Msg::last().text.toStdString();
    }
    void menu(const char* name) { get<QAction>(k, QString::fromLatin1(name))->trigger(); }

    TestSupport::Sandbox sb;
    Kuang* k = nullptr;
    ModalDriver driver;
};

} // namespace

TEST_F(AdminFlow, EveryGuardedEntryTestsItsRightAndTheLoginPanelShowsThree) {
    loginAs("管理员", "");
    const struct {
        const char* entry;
        int right;
        const char* window;
    } guarded[] = {{"Menu_ReName", 1, "ZbTyp"},
                   {"Menu_ZbTyp", 1, "ZbTyp"},
                   {"Menu_Guanli", 1, "UsrGL"},
                   {"Menu_ReSetPwd", 14, "UsrPwd"},
                   {"Menu_GongGao", 16, "GongGao"}};
    for (const auto& g : guarded) {
        SCOPED_TRACE(g.entry);
        CurQx = without({g.right});
        Msg::clearShown();
        menu(g.entry);
        EXPECT_EQ(Msg::last().text, kRefusal);
        EXPECT_EQ(Msg::last().title, "");
        EXPECT_TRUE(driver.seen.isEmpty());
        CurQx = kAll;
        menu(g.entry);
        EXPECT_EQ(driver.seen, QStringList{g.window});
        driver.seen.clear();
    }
    // Cancelled windows leave the entry panel and the notice button as they were.
    EXPECT_EQ(k->PanelNo, 2);
    EXPECT_TRUE(k->CmdMenu->isEnabled());

    menu("Menu_Login");
    QTest::mouseClick(k->CmdMenu, Qt::LeftButton);
    QStringList shown;
    for (QAction* a : k->Menu_Cmd->actions())
        if (a->isVisible())
            shown << a->objectName();
    EXPECT_EQ(shown, QStringList({"Menu_BackZB", "Menu_Lb", "Menu_SeeZbID"}));
    k->Menu_Cmd->hide();
}

TEST_F(AdminFlow, OperatorsAreAddedChangedAndDeletedWithTheirRights) {
    loginAs("管理员", "");
    const QStringList operators = items(k->CmbUser);
    driver.next([&](QDialog* d) {
        auto* lst = get<QListWidget>(d, "Lst");
        EXPECT_EQ(d->windowTitle(), " 操作员管理");
        EXPECT_EQ(lines(lst), QStringList({"    操作员列表", "管理员", "会计"}));
        EXPECT_EQ(lst->currentRow(), 1);
        EXPECT_FALSE(get<QLineEdit>(d, "Txt")->isEnabled());
        EXPECT_FALSE(get<QCheckBox>(d, "Chk_14")->isVisible());

        // Viewing: a click on a box changes nothing.
        click(d, "Chk_5");
        EXPECT_TRUE(ticked(d, 5));

        // Own rights: right 1 cannot be changed; the dependency rules follow each clear.
        click(d, "Cmd_2");
        EXPECT_FALSE(get<QCheckBox>(d, "Chk_0")->isEnabled());
        EXPECT_EQ(get<QPushButton>(d, "Cmd_0")->text(), "保 存");
        click(d, "Chk_1");
        EXPECT_TRUE(ticked(d, 9));
        click(d, "Chk_2");
        EXPECT_FALSE(ticked(d, 9) || ticked(d, 10));
        EXPECT_TRUE(ticked(d, 8) && ticked(d, 11) && ticked(d, 7));
        click(d, "Chk_5");
        EXPECT_FALSE(ticked(d, 8) || ticked(d, 11) || ticked(d, 12));
        click(d, "Chk_4");
        EXPECT_TRUE(ticked(d, 7));
        click(d, "Chk_6");
        EXPECT_FALSE(ticked(d, 7));
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "保存成功！");
        EXPECT_EQ(CurQx, "1001000000000111");
        EXPECT_EQ(RunSqlOne("select Qx from UsrLst where Usr='管理员'"), CurQx);
        EXPECT_TRUE(get<QCheckBox>(d, "Chk_0")->isEnabled());

        // Adding: empty name, a name in the list, a name taken since the list was read.
        click(d, "Cmd_3");
        EXPECT_EQ(lst->count(), 4);
        EXPECT_FALSE(ticked(d, 0));
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "请输入新增的操作员姓名！");
        get<QLineEdit>(d, "Txt")->setText("会计");
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "账本中已经存在【会计】这个操作员，新增的操作员不能重名！");
        sql("insert into UsrLst (ZBID,Usr,Pwd) values ('L1','老王','')");
        get<QLineEdit>(d, "Txt")->setText("老王");
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "账本中已经存在【老王】这个操作员，新增的操作员不能重名！");
        click(d, "Cmd_1"); // cancel: the empty line goes
        EXPECT_EQ(lines(lst), QStringList({"    操作员列表", "管理员", "会计"}));
        EXPECT_EQ(lst->currentRow(), 1);

        click(d, "Cmd_3");
        get<QLineEdit>(d, "Txt")->setText("出纳");
        click(d, "Chk_5");
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "保存成功！");
        EXPECT_EQ(RunSqlOne("select Qx from UsrLst where Usr='出纳'"), "0000010000000000");
        EXPECT_EQ(items(k->CmbUser), operators + QStringList{"出纳"});

        // Deleting asks first, No as default; oneself is refused.
        Msg::queueAnswer(QMessageBox::No);
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "真的要删除操作员【出纳】吗？");
        EXPECT_EQ(Msg::last().defaultButton, QMessageBox::No);
        EXPECT_EQ(RunSql("select Usr from UsrLst where Usr='出纳'"), "1");
        Msg::queueAnswer(QMessageBox::Yes);
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "删除成功！");
        EXPECT_EQ(RunSql("select Usr from UsrLst where Usr='出纳'"), "0");
        EXPECT_EQ(items(k->CmbUser), operators);
        EXPECT_EQ(lst->currentRow(), 1);
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "您不能删除您自已！");

        // 会计 has no stored word: all rights. Deleted by another client while being saved.
        lst->setCurrentRow(2);
        EXPECT_TRUE(ticked(d, 0) && ticked(d, 15));
        click(d, "Cmd_2");
        EXPECT_TRUE(get<QCheckBox>(d, "Chk_0")->isEnabled());
        sql("delete from UsrLst where Usr='会计'");
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "服务器已经删除【会计】这个操作员！");
        EXPECT_EQ(RunSql("select Usr from UsrLst where Usr='会计'"), "0");
        EXPECT_EQ(lines(lst), QStringList({"    操作员列表", "管理员"}));
        EXPECT_EQ(items(k->CmbUser), QStringList{"管理员"});
        click(d, "Cmd_1");
        EXPECT_FALSE(d->isVisible());
    });
    menu("Menu_Guanli");
    EXPECT_EQ(driver.seen, QStringList{"UsrGL"});
}

TEST_F(AdminFlow, PasswordChangeKeepsTheRightsAndTheRememberedPasswordFollows) {
    sql("insert into UsrLst (ZBID,Usr,Pwd,Qx) values ('L1','出纳','old','0000010000000100')");
    loginAs("出纳", "old", true);
    const QString pwd = QStringLiteral(" x'); delete from Zhang; --\\│ ");
    driver.next([&](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), " 修改密码");
        EXPECT_EQ(get<QLabel>(d, "LabZB")->text(), "账本名称： 仓库");
        EXPECT_EQ(get<QLineEdit>(d, "Txt_0")->text(), "出纳");
        EXPECT_TRUE(get<QLineEdit>(d, "Txt_0")->isReadOnly());
        get<QLineEdit>(d, "Txt_1")->setText("Abc");
        get<QLineEdit>(d, "Txt_2")->setText("abc");
        EXPECT_EQ(get<QLineEdit>(d, "Txt_1")->displayText(), "***");
        EXPECT_EQ(get<QLineEdit>(d, "Txt_2")->displayText(), "***");
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "两次输入的密码不相同！");
        get<QLineEdit>(d, "Txt_1")->setText(pwd);
        get<QLineEdit>(d, "Txt_2")->setText(pwd);
        click(d, "Cmd_0");
    });
    menu("Menu_ReSetPwd");
    EXPECT_EQ(k->PanelNo, 1);
    ASSERT_EQ(RunSql("select Pwd,Qx from UsrLst where Usr='出纳'"), "1");
    EXPECT_EQ(SqlRows(1, 0), pwd);
    EXPECT_EQ(SqlRows(1, 1), "0000010000000100");
    EXPECT_EQ(LedgerList::rememberedPassword("出纳", "L1"), pwd);
    relogin("出纳", pwd);
    EXPECT_EQ(CurQx, "0000010000000100");

    // Refused the operator management; a deleted operator gets no new row.
    menu("Menu_Guanli");
    EXPECT_EQ(Msg::last().text, kRefusal);
    sql("delete from UsrLst where Usr='出纳'");
    driver.next([&](QDialog* d) {
        get<QLineEdit>(d, "Txt_1")->setText("n");
        get<QLineEdit>(d, "Txt_2")->setText("n");
        click(d, "Cmd_0");
        EXPECT_EQ(Msg::last().text, "服务器已经删除【出纳】这个操作员！");
        EXPECT_TRUE(d->isVisible());
    });
    menu("Menu_ReSetPwd");
    EXPECT_EQ(RunSql("select Usr from UsrLst where Usr='出纳'"), "0");
    EXPECT_EQ(k->PanelNo, 2);
}

TEST_F(AdminFlow, NoticeIsPublishedInItsColourAndSeenOnASecondComputer) {
    loginAs("管理员", "");
    driver.next([&](QDialog* d) {
        EXPECT_FALSE(k->CmdMenu->isEnabled());
        auto* txt = get<QPlainTextEdit>(d, "Txt");
        click(d, "Lab_3");
        txt->insertPlainText("今日盘点");
        click(d, "Cmd_0");
    });
    menu("Menu_GongGao");
    EXPECT_TRUE(k->CmdMenu->isEnabled());
    EXPECT_EQ(RunSqlOne("select GongGao from Zblst where ZBid='L1'"), "255│今日盘点");
    EXPECT_EQ(k->session()->notice(), "255│今日盘点");
    EXPECT_EQ(k->Lab3->palette().color(QPalette::WindowText), QColor(Qt::red));

    // A second computer sees it red; its window starts with the text and the colour.
    Kuang::destroyInstance();
    sb.useSettings("second.ini");
    loginAs("管理员", "");
    EXPECT_EQ(k->Lab3->text(), "今日盘点");
    EXPECT_EQ(k->Lab3->palette().color(QPalette::WindowText), QColor(Qt::red));
    const QString text = "第一行'\"\\\n二\n三\n四\n五";
    driver.next([&](QDialog* d) {
        auto* txt = get<QPlainTextEdit>(d, "Txt");
        auto* red = get<QLabel>(d, "LabRed");
        EXPECT_EQ(txt->toPlainText(), "今日盘点");
        EXPECT_EQ(static_cast<GongGao*>(d)->textColour(), 255);
        txt->setPlainText(text);
        EXPECT_FALSE(red->isVisible());
        QTextCursor c = txt->textCursor();
        c.setPosition(3);
        txt->setTextCursor(c);
        txt->insertPlainText("│");
        EXPECT_EQ(txt->toPlainText(), "第一行|'\"\\\n二\n三\n四\n五");
        EXPECT_EQ(txt->textCursor().position(), 4);
        txt->moveCursor(QTextCursor::End);
        txt->insertPlainText("\n六");
        EXPECT_TRUE(red->isVisible());
        txt->undo();
        EXPECT_FALSE(red->isVisible());
        txt->setPlainText(text);
        // 14 characters and 4 breaks of two: 18 of the 255.
        const QString fill(237, QLatin1Char('a'));
        txt->moveCursor(QTextCursor::End);
        txt->insertPlainText(fill);
        EXPECT_EQ(txt->toPlainText(), text + fill);
        txt->insertPlainText("b");
        EXPECT_EQ(txt->toPlainText(), text + fill);
        txt->setPlainText(text);
        click(d, "Lab_0");
        click(d, "Cmd_0");
    });
    menu("Menu_GongGao");
    EXPECT_EQ(RunSqlOne("select GongGao from Zblst where ZBid='L1'"),
              "-2147483630│第一行'\"\\\r\n二\r\n三\r\n四\r\n五");
    EXPECT_EQ(k->Lab3->palette().color(QPalette::WindowText),
              QApplication::palette(k->Lab3).color(QPalette::ButtonText));

    driver.next([&](QDialog* d) { click(d, "Cmd_2"); });
    menu("Menu_GongGao");
    EXPECT_EQ(RunSqlOne("select GongGao from Zblst where ZBid='L1'"), "");
    EXPECT_EQ(k->Lab3->text(), KuangTexts::entryHint("物品", "存量"));
    EXPECT_EQ(k->Lab3->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0xFF));
    EXPECT_TRUE(k->session()->notice().isEmpty());
}

TEST_F(AdminFlow, AStoredNoticeIsCheckedAtOpeningAndCanBeShortened) {
    const QString text = "一│二\n三\n四\n五\n六\n" + QString(290, QLatin1Char('a'));
    sql("update Zblst set GongGao='255│" + text + "' where ZBid='L1'");
    loginAs("管理员", "");
    EXPECT_EQ(k->TxtPwd->displayText(), "");
    driver.next([&](QDialog* d) {
        auto* txt = get<QPlainTextEdit>(d, "Txt");
        EXPECT_TRUE(txt->toPlainText().startsWith("一|二\n三"));
        EXPECT_TRUE(get<QLabel>(d, "LabRed")->isVisible());
        const qsizetype before = txt->toPlainText().size();
        txt->moveCursor(QTextCursor::End);
        QTest::keyClick(txt, Qt::Key_Backspace);
        EXPECT_EQ(txt->toPlainText().size(), before - 1);
        txt->insertPlainText("bb"); // still over the limit: no longer
        EXPECT_EQ(txt->toPlainText().size(), before - 1);
    });
    menu("Menu_GongGao");
}

TEST_F(AdminFlow, AnOperatorWhoseReplyWasLostIsSavedOnce) {
    REQUIRE_POSTGRES();
    // The owner may not end an operator's server process; the secure server adds an operator
    // in one function call, whose transaction goes down whole with its connection.
    if (TestSupport::secure())
        GTEST_SKIP() << "a secure server's operator cannot be disconnected by the owner";
    sb.usePostgres();
    SetUp();
    loginAs("管理员", "");
    driver.next([&](QDialog* d) {
        click(d, "Cmd_3");
        get<QLineEdit>(d, "Txt")->setText("出纳");
        click(d, "Chk_5");
        // The row as the insert stores it, and then the connection goes before the reply.
        sql("insert into UsrLst (ZBID,Usr,Pwd,Qx) values ('L1','出纳','','0000010000000000')");
        ASSERT_TRUE(TestSupport::dropConnectionAtNextInsert(QStringLiteral("UsrLst")));
        click(d, "Cmd_0");
        TestSupport::keepConnectionsAtInsert(QStringLiteral("UsrLst"));
        EXPECT_EQ(Msg::last().text, "保存成功！");
    });
    menu("Menu_Guanli");
    EXPECT_EQ(TestSupport::ownerSql("select count(*) from UsrLst where Usr='出纳'", true), "1");
    EXPECT_EQ(items(k->CmbUser).count("出纳"), 1);
    TestSupport::emptyTables();
}

TEST_F(AdminFlow, RenameSendsTheUpdateFirstAndTypeSettingsRelayTheEntryPanel) {
    loginAs("管理员", "");
    driver.next([&](QDialog* d) {
        EXPECT_EQ(get<QLineEdit>(d, "TxtZbNm")->text(), "仓库");
        get<QLineEdit>(d, "TxtZbNm")->setText("总仓");
        click(d, "Cmd_5");
    });
    menu("Menu_ReName");
    EXPECT_EQ(RunSqlOne("select ZbNm from Zblst where ZBid='L1'"), "总仓");
    EXPECT_EQ(k->LabTop->text(), "总仓");
    EXPECT_EQ(k->CmbZbNm->itemText(0), "总仓");
    EXPECT_EQ(LedgerList::load().value(0).name, "总仓");

    driver.next([&](QDialog* d) {
        click(d, "Opt_2");
        click(d, "Cmd_0");
    });
    menu("Menu_ZbTyp");
    EXPECT_EQ(k->Lab1->text(), "客户");

    Db::setConnection(
        {Db::Engine::Postgres, "127.0.0.1,1", "u", "p", "d", Db::Encryption::Off, QString()});
    driver.next([&](QDialog* d) {
        get<QLineEdit>(d, "TxtZbNm")->setText("分仓");
        click(d, "Cmd_5");
    });
    menu("Menu_ReName");
    EXPECT_EQ(Msg::last().text, "连接服务器失败，请重试！");
    EXPECT_EQ(CurZbNm, "总仓");
    EXPECT_EQ(k->LabTop->text(), "总仓");
    EXPECT_EQ(LedgerList::load().value(0).name, "总仓");
}

TEST_F(AdminFlow, ASecureServerAddsEachOperatorOnceAndTakesOnlyAVerifier) {
    if (!TestSupport::secure())
        GTEST_SKIP() << "ZELVO_TEST_SECURE not set";
    sb.usePostgres();
    SetUp();
    loginAs("管理员", "");

    // One name added here, one by another administrator after this window read its list.
    driver.next([&](QDialog* d) {
        for (const QString name : {"出纳", "库管"}) {
            click(d, "Cmd_3");
            get<QLineEdit>(d, "Txt")->setText(name);
            click(d, "Chk_5");
            click(d, "Cmd_0");
            if (name == "出纳")
                ASSERT_TRUE(TestSupport::addOperator("L1", "库管"));
            else
                click(d, "Cmd_1");
        }
    });
    menu("Menu_Guanli");
    const QStringList said = TestSupport::shownTexts();
    EXPECT_EQ(
        said.mid(said.size() - 2),
        QStringList({"保存成功！", "账本中已经存在【库管】这个操作员，新增的操作员不能重名！"}));
    EXPECT_EQ(
        TestSupport::ownerSql("select count(*) from UsrLst where Usr in ('出纳','库管')", true),
        "2");
    EXPECT_EQ(items(k->CmbUser).count("库管"), 0);

    // The new password reaches the server only as its verifier, and is the one that logs in.
    const QString pwd = QStringLiteral("n'1%\\新");
    TestSupport::ServerLog log;
    driver.next([&](QDialog* d) {
        get<QLineEdit>(d, "Txt_1")->setText(pwd);
        get<QLineEdit>(d, "Txt_2")->setText(pwd);
        click(d, "Cmd_0");
    });
    menu("Menu_ReSetPwd");
    ASSERT_EQ(k->PanelNo, 1) << Msg::last().text.toStdString();
    const QString sent = log.statements().join('\n');
    EXPECT_TRUE(sent.contains("zelvo_set_password('SCRAM-SHA-256$")) << sent.toStdString();
    EXPECT_FALSE(sent.contains(pwd)) << sent.toStdString();
    EXPECT_EQ(TestSupport::ownerSql("select Pwd from UsrLst where Usr='管理员'", true), "");
    k->TxtPwd->clear();
    QTest::keyClick(k->TxtPwd, Qt::Key_Return);
    EXPECT_EQ(Msg::last().text, "密码错误，您不能登入！");
    relogin("管理员", pwd);
    EXPECT_EQ(CurQx, kAll);
}
