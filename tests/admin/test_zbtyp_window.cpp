#include "admin/rights.h"
#include "admin/zbtyp.h"
#include "admin/zbtyprules.h"
#include "app/clock.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "main_window/kuang.h"
#include "main_window/kuangtexts.h"
#include "main_window/ledgerlist.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace MainBas;
namespace R = ZbTypRules;

namespace {

const QString kOK = QStringLiteral("OK");

template <class T> T* child(ZbTyp* d, const char* name) {
    T* w = d->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QLineEdit* edit(ZbTyp* d, const char* name) {
    return child<QLineEdit>(d, name);
}

void click(ZbTyp* d, const char* name) {
    QWidget* w = d->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(w, nullptr) << name;
    ASSERT_TRUE(w->isVisible()) << name;
    // The left edge: Opt_4's middle lies under its two word boxes.
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(6, w->height() / 2));
}

bool frameShown(ZbTyp* d, int i) {
    QFrame* f = d->findChild<QFrame*>(QStringLiteral("Frm_") + QString::number(i));
    return f && f->isVisible();
}

void chooseKind(ZbTyp* d, const QString& kind) {
    QComboBox* c = child<QComboBox>(d, "CmbLX");
    c->setCurrentIndex(c->findText(kind));
    ASSERT_EQ(c->currentText(), kind);
}

// Runs the dialog modally, as the main window does, with `steps` acting inside exec().
int execWith(ZbTyp* d, const std::function<void()>& steps) {
    QTimer act;
    act.setSingleShot(true);
    QObject::connect(&act, &QTimer::timeout, d, [&] { steps(); });
    act.start(0);
    // Steps that fail to close the window must not hang the test.
    QTimer guard;
    guard.setSingleShot(true);
    bool guardFired = false;
    QObject::connect(&guard, &QTimer::timeout, d, [&] {
        guardFired = true;
        d->reject();
    });
    guard.start(10000);
    const int result = d->exec();
    EXPECT_FALSE(guardFired) << "the window was still open after its steps";
    return result;
}

// The dialog as the main window opens it: what it chooses goes into `k`'s list.
ZbTyp* dialogFor(Kuang* k) {
    ZbTyp* d = ZbTyp::instance();
    QObject::connect(d, &ZbTyp::ledgerChosen, k, &Kuang::placeLedger, Qt::UniqueConnection);
    return d;
}

int countOf(const QString& statement) {
    return RunSql(statement).toInt();
}

class ZbTypWindow : public ::testing::Test {
protected:
    TestSupport::Sandbox sb;

    void SetUp() override {
        Msg::clearShown();
        Clock::set(QDateTime(QDate(2024, 3, 5), QTime(9, 30)));
    }
    void TearDown() override {
        Db::setBusyHandler({});
        ZbTyp::destroyInstance();
        Kuang::destroyInstance();
        Msg::clearShown();
    }

    Kuang* kuangWith(const QList<LedgerList::Ledger>& ledgers) {
        LedgerList::save(ledgers);
        Kuang* k = Kuang::instance();
        k->LoadZbList();
        return k;
    }

    void serverLedger(const QString& id, const QString& name) {
        ASSERT_EQ(RunSql(R::ledgerInsert(id, name, QStringLiteral("物品"), QStringLiteral("存量"),
                                         QStringLiteral("2024-01-01"))),
                  kOK);
    }

    // A new ledger by mobile number, name and type, as the list's add entry runs it.
    void createByMobile() {
        Kuang* k = kuangWith({{QStringLiteral("12345"), QStringLiteral("老账本")}});
        const int before = k->CmbZbNm->count();
        // The server's own date; on SQLite that is the set clock.
        ASSERT_EQ(RunSql(QStringLiteral("select Getdate()")), QStringLiteral("1"));
        const QString serverDate = SqlRows(1, 0).left(10);
        ZbTyp* d = dialogFor(k);
        d->showFrame(0);

        struct Seen {
            bool enabled;
            bool waitCursor;
        };
        QList<Seen> seen;
        Db::setBusyHandler([&](bool busy) {
            if (busy)
                seen.append({d->isEnabled(),
                             QApplication::overrideCursor() &&
                                 QApplication::overrideCursor()->shape() == Qt::WaitCursor});
        });

        const int result = execWith(d, [&] {
            EXPECT_TRUE(frameShown(d, 0));
            EXPECT_FALSE(frameShown(d, 1));
            EXPECT_EQ(child<QComboBox>(d, "CmbLX")->currentText(), QStringLiteral("手机"));
            QTest::keyClicks(edit(d, "TxtZbID"), QStringLiteral("138-0013-8000"));
            click(d, "Cmd_3");
            ASSERT_TRUE(frameShown(d, 1));
            EXPECT_FALSE(frameShown(d, 0));
            EXPECT_EQ(edit(d, "TxtZbID")->text(), QStringLiteral("13800138000"));
            EXPECT_EQ(edit(d, "TxtZbNm")->text(), QStringLiteral("我的云账本"));
            edit(d, "TxtZbNm")->setText(QStringLiteral(" 库#房 "));
            click(d, "Cmd_5");
            ASSERT_TRUE(frameShown(d, 2));
            EXPECT_TRUE(child<QRadioButton>(d, "Opt_4")->isChecked());
            click(d, "Opt_1");
            EXPECT_TRUE(child<QRadioButton>(d, "Opt_1")->isChecked());
            click(d, "Cmd_0");
        });
        Db::setBusyHandler({});

        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_FALSE(d->isVisible());
        EXPECT_TRUE(Msg::shown().isEmpty()) << Msg::last().text.toStdString();
        EXPECT_EQ(DlgRet, kOK);
        EXPECT_EQ(CurZbID, QStringLiteral("13800138000"));
        EXPECT_EQ(CurZbNm, QStringLiteral("库房"));
        EXPECT_EQ(ItemName, QStringLiteral("物品"));
        EXPECT_EQ(SlName, QStringLiteral("存量"));
        EXPECT_EQ(d->EdZbNm, 0);

        // Contact look-up, ledger insert, operator insert at least; each with the window locked.
        EXPECT_GE(seen.size(), 3);
        for (const Seen& s : seen) {
            EXPECT_FALSE(s.enabled);
            EXPECT_TRUE(s.waitCursor);
        }
        EXPECT_TRUE(d->isEnabled());

        ASSERT_EQ(TestSupport::ownerSql(
                      QStringLiteral("select ZBid,ZbNm,Item,SL,Bz,BgDate,NdDate,MB,SalesMan,Msg "
                                     "from Zblst where ZBid='13800138000'")),
                  QStringLiteral("1"));
        const QStringList row = {QStringLiteral("13800138000"),
                                 QStringLiteral("库房"),
                                 QStringLiteral("物品"),
                                 QStringLiteral("存量"),
                                 QStringLiteral("自已注册"),
                                 serverDate,
                                 QString(),
                                 QString(),
                                 QString(),
                                 QStringLiteral("您好！")};
        for (int j = 0; j < row.size(); ++j)
            EXPECT_EQ(SqlRows(1, j), row.at(j)) << SqlRows(0, j).toStdString();

        ASSERT_EQ(TestSupport::ownerSql(
                      QStringLiteral("select Usr,Pwd,QX from UsrLst where ZBID='13800138000'")),
                  QStringLiteral("1"));
        EXPECT_EQ(SqlRows(1, 0), QStringLiteral("管理员"));
        EXPECT_EQ(SqlRows(1, 1), QString());
        EXPECT_EQ(SqlRows(1, 2), QString());
        EXPECT_EQ(Rights::readWord(SqlRows(1, 2)), QString(16, QLatin1Char('1')));

        // In the list just before the add entry, and selected.
        ASSERT_EQ(k->CmbZbNm->count(), before + 1);
        const int at = k->CmbZbNm->currentIndex();
        EXPECT_EQ(at, before - 1);
        EXPECT_EQ(k->CmbZbNm->itemText(at), QStringLiteral("库房"));
        EXPECT_EQ(k->CmbZbID->itemText(at), QStringLiteral("13800138000"));
        EXPECT_EQ(k->findLedgerId(QStringLiteral("13800138000"), Qt::CaseSensitive), at);
        EXPECT_EQ(k->CmbZbNm->itemText(before), KuangTexts::addEntry());
        EXPECT_EQ(k->CmbZbNm->count(), k->CmbZbID->count());
    }
};

TEST_F(ZbTypWindow, LoadsItsControlsAndLaysThemOut) {
    ItemName = QStringLiteral("货品");
    SlName = QStringLiteral("件数");
    ZbTyp* d = ZbTyp::instance();
    EXPECT_EQ(d->windowTitle(), QStringLiteral(" 账本设置"));
    EXPECT_FALSE(d->NewZb);
    EXPECT_EQ(edit(d, "Txt_0")->text(), QStringLiteral("货品"));
    EXPECT_EQ(edit(d, "Txt_1")->text(), QStringLiteral("件数"));
    EXPECT_TRUE(child<QRadioButton>(d, "Opt_4")->isChecked());
    QComboBox* kinds = child<QComboBox>(d, "CmbLX");
    ASSERT_EQ(kinds->count(), 3);
    EXPECT_EQ(kinds->currentText(), QStringLiteral("手机"));
    EXPECT_EQ(kinds->itemText(2), QStringLiteral("邮箱"));
    EXPECT_EQ(child<QLabel>(d, "LabInfo_0")->text(), R::contactInfo());
    EXPECT_EQ(child<QLabel>(d, "LabInfo_1")->text(), R::nameInfo());
    EXPECT_EQ(child<QLabel>(d, "LabCpt_2")->text(), QStringLiteral("账本类型设置"));

    // Every control lies in its own frame.
    const struct {
        const char* name;
        int frame;
    } controls[] = {{"LabCpt_0", 0},  {"LabInfo_0", 0}, {"LabID", 0}, {"CmbLX", 0},
                    {"TxtZbID", 0},   {"Cmd_3", 0},     {"Cmd_2", 0}, {"LabCpt_1", 1},
                    {"LabInfo_1", 1}, {"TxtZbNm", 1},   {"Cmd_5", 1}, {"Cmd_4", 1},
                    {"LabCpt_2", 2},  {"Opt_0", 2},     {"Opt_1", 2}, {"Opt_2", 2},
                    {"Opt_3", 2},     {"Opt_4", 2},     {"Txt_0", 2}, {"Txt_1", 2},
                    {"Cmd_0", 2},     {"Cmd_1", 2}};
    for (const auto& c : controls) {
        QWidget* w = child<QWidget>(d, c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget()->objectName(),
                  QStringLiteral("Frm_") + QString::number(c.frame))
            << c.name;
        EXPECT_TRUE(QRect(QPoint(0, 0), w->parentWidget()->size()).contains(w->geometry()))
            << c.name;
    }
    EXPECT_EQ(child<QPushButton>(d, "Cmd_0")->text(), QStringLiteral("确 定"));
    EXPECT_EQ(child<QPushButton>(d, "Cmd_4")->text(), QStringLiteral("取 消"));

    d->show();
    EXPECT_EQ(d->minimumSize(), d->maximumSize());
    const QRect frame0 = child<QFrame>(d, "Frm_0")->geometry();
    EXPECT_TRUE(d->rect().contains(frame0));
    for (int i = 0; i < 3; ++i) {
        d->showFrame(i);
        EXPECT_EQ(child<QFrame>(d, (std::string("Frm_") + char('0' + i)).c_str())->geometry(),
                  frame0);
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(frameShown(d, j), i == j) << i << " " << j;
    }

    // The custom words sit on Opt_4's line, right of its mark, one after the other.
    const QRect opt = child<QRadioButton>(d, "Opt_4")->geometry();
    const QRect w0 = edit(d, "Txt_0")->geometry();
    const QRect w1 = edit(d, "Txt_1")->geometry();
    EXPECT_TRUE(opt.contains(w0.center()));
    EXPECT_TRUE(opt.contains(w1.center()));
    EXPECT_GT(w0.left(), opt.left() + 20);
    EXPECT_LT(w0.right(), w1.left());
    EXPECT_GE(w0.width(), 20);
    d->hide();
}

TEST_F(ZbTypWindow, CreatesALedgerByMobileNumberOnSqlite) {
    createByMobile();

    // Closed means unloaded: the next opening starts afresh with the new ledger's words.
    ZbTyp* again = ZbTyp::instance();
    EXPECT_EQ(edit(again, "Txt_0")->text(), QStringLiteral("物品"));
    EXPECT_EQ(edit(again, "Txt_1")->text(), QStringLiteral("存量"));
    EXPECT_TRUE(child<QRadioButton>(again, "Opt_4")->isChecked());
    EXPECT_TRUE(edit(again, "TxtZbID")->text().isEmpty());
    EXPECT_FALSE(again->NewZb);
}

TEST_F(ZbTypWindow, CreatesALedgerOnPostgres) {
    REQUIRE_POSTGRES();
    sb.usePostgres();
    createByMobile();
    TestSupport::emptyTables();
}

TEST_F(ZbTypWindow, JoinsALedgerTheServerHolds) {
    serverLedger(QStringLiteral("10000000001"), QStringLiteral("老账本"));
    serverLedger(QStringLiteral("abc@mail.com"), QStringLiteral("服务器上的名字"));
    Kuang* k = kuangWith({{QStringLiteral("ABC@Mail.com"), QStringLiteral("我的邮箱账")},
                          {QStringLiteral("12345"), QStringLiteral("甲")}});
    const int before = k->CmbZbNm->count();

    // Already in the list, in other letter case: only selected.
    k->CmbZbNm->setCurrentIndex(1);
    ZbTyp* d = dialogFor(k);
    d->showFrame(0);
    int result = execWith(d, [&] {
        chooseKind(d, QStringLiteral("邮箱"));
        edit(d, "TxtZbID")->setText(QStringLiteral("abc@mail.com"));
        click(d, "Cmd_3");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(DlgRet, kOK);
    EXPECT_EQ(k->CmbZbNm->count(), before);
    EXPECT_EQ(k->CmbZbNm->currentIndex(), 0);
    EXPECT_EQ(k->CmbZbID->currentText(), QStringLiteral("ABC@Mail.com"));
    EXPECT_EQ(CurZbID, QStringLiteral("ABC@Mail.com"));
    EXPECT_EQ(CurZbNm, QStringLiteral("我的邮箱账"));

    // Not in the list: inserted under the server's name.
    DlgRet.clear();
    d = dialogFor(k);
    d->showFrame(0);
    result = execWith(d, [&] {
        edit(d, "TxtZbID")->setText(QStringLiteral("100-0000-0001"));
        click(d, "Cmd_3");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(DlgRet, kOK);
    ASSERT_EQ(k->CmbZbNm->count(), before + 1);
    const int at = k->CmbZbNm->currentIndex();
    EXPECT_EQ(k->CmbZbNm->itemText(at), QStringLiteral("老账本"));
    EXPECT_EQ(k->CmbZbID->currentText(), QStringLiteral("10000000001"));
    EXPECT_EQ(k->CmbZbNm->itemText(before), KuangTexts::addEntry());
    EXPECT_EQ(CurZbID, QStringLiteral("10000000001"));
    EXPECT_EQ(CurZbNm, QStringLiteral("老账本"));

    EXPECT_TRUE(Msg::shown().isEmpty()) << Msg::last().text.toStdString();
    // Joining writes nothing on the server.
    EXPECT_EQ(countOf(QStringLiteral("select * from Zblst")), 2);
    EXPECT_EQ(countOf(QStringLiteral("select * from UsrLst")), 0);
}

TEST_F(ZbTypWindow, RefusalsKeepTheStepOpen) {
    Kuang* k = kuangWith({});
    const int before = k->CmbZbNm->count();
    CurZbNm = QStringLiteral("家用");
    DlgRet = QStringLiteral("untouched");
    ZbTyp* d = dialogFor(k);
    EXPECT_FALSE(d->NewZb); // until the server says the contact is new
    d->showFrame(0);
    d->show();

    edit(d, "TxtZbID")->setText(QStringLiteral("0086 10000000001"));
    click(d, "Cmd_3");
    EXPECT_EQ(Msg::last().text, QStringLiteral("手机号码应该为11位数字！"));
    EXPECT_EQ(edit(d, "TxtZbID")->text(), QStringLiteral("8610000000001"));
    EXPECT_TRUE(frameShown(d, 0));

    chooseKind(d, QStringLiteral("QQ号"));
    edit(d, "TxtZbID")->setText(QStringLiteral("12#34"));
    click(d, "Cmd_3");
    EXPECT_EQ(Msg::last().text, QStringLiteral("请完整输入您的QQ号（或其他联系方式）！"));
    EXPECT_EQ(edit(d, "TxtZbID")->text(), QStringLiteral("1234"));

    chooseKind(d, QStringLiteral("邮箱"));
    edit(d, "TxtZbID")->setText(QStringLiteral("me@home"));
    click(d, "Cmd_3");
    EXPECT_EQ(Msg::last().text, QStringLiteral("您输入的  “me@home”不是正确的电子邮箱格式 ！"));
    EXPECT_TRUE(frameShown(d, 0));

    edit(d, "TxtZbID")->setText(QStringLiteral("me@home.cn"));
    click(d, "Cmd_3");
    ASSERT_TRUE(frameShown(d, 1));
    EXPECT_TRUE(d->NewZb);
    EXPECT_EQ(CurZbID, QStringLiteral("me@home.cn"));
    EXPECT_EQ(edit(d, "TxtZbNm")->text(), QStringLiteral("新建家用"));

    edit(d, "TxtZbNm")->setText(QStringLiteral(" ## "));
    click(d, "Cmd_5");
    EXPECT_EQ(Msg::last().text, child<QLabel>(d, "LabInfo_1")->text());
    EXPECT_TRUE(frameShown(d, 1));

    edit(d, "TxtZbNm")->setText(QStringLiteral("A#B"));
    click(d, "Cmd_5");
    ASSERT_TRUE(frameShown(d, 2));
    EXPECT_EQ(CurZbNm, QStringLiteral("AB"));
    edit(d, "Txt_0")->setText(QStringLiteral("货品"));
    edit(d, "Txt_1")->setText(QStringLiteral(" ' "));
    click(d, "Cmd_0");
    EXPECT_EQ(Msg::last().text, QStringLiteral("如果选择自定义账本类型，请输入关键词！"));
    EXPECT_TRUE(frameShown(d, 2));
    EXPECT_TRUE(edit(d, "Txt_1")->text().isEmpty());

    // Every refusal: information icon, no title.
    ASSERT_EQ(Msg::shown().size(), 5);
    for (const Msg::Shown& s : Msg::shown()) {
        EXPECT_EQ(s.icon, QMessageBox::Information);
        EXPECT_TRUE(s.title.isEmpty());
    }
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(DlgRet, QStringLiteral("untouched"));
    EXPECT_EQ(countOf(QStringLiteral("select * from Zblst")), 0);
    EXPECT_EQ(k->CmbZbNm->count(), before);
    d->hide();
}

TEST_F(ZbTypWindow, CancelButtonsCloseWithoutAChange) {
    serverLedger(QStringLiteral("13800138000"), QStringLiteral("旧名"));
    Kuang* k = kuangWith({{QStringLiteral("13800138000"), QStringLiteral("旧名")}});
    const int before = k->CmbZbNm->count();
    const struct {
        int frame;
        const char* cancel;
        const char* fill;
    } cases[] = {{0, "Cmd_2", "TxtZbID"}, {1, "Cmd_4", "TxtZbNm"}, {2, "Cmd_1", "Txt_0"}};
    for (const auto& c : cases) {
        DlgRet = QStringLiteral("untouched");
        ZbTyp* d = ZbTyp::instance();
        d->EdZbNm = 1;
        d->showFrame(c.frame);
        const int result = execWith(d, [&] {
            EXPECT_TRUE(frameShown(d, c.frame));
            edit(d, c.fill)->setText(QStringLiteral("13900139000"));
            click(d, c.cancel);
        });
        EXPECT_EQ(result, QDialog::Rejected) << c.cancel;
        EXPECT_EQ(DlgRet, QStringLiteral("untouched")) << c.cancel;
        EXPECT_EQ(d->EdZbNm, 0) << c.cancel;
    }
    EXPECT_TRUE(Msg::shown().isEmpty());
    EXPECT_EQ(countOf(QStringLiteral("select * from Zblst where ZbNm='旧名' and Item='物品'")), 1);
    EXPECT_EQ(countOf(QStringLiteral("select * from Zblst")), 1);
    EXPECT_EQ(k->CmbZbNm->count(), before);
}

TEST_F(ZbTypWindow, RenameTakesOnlyTheName) {
    serverLedger(QStringLiteral("13800138000"), QStringLiteral("旧名"));
    kuangWith({{QStringLiteral("13800138000"), QStringLiteral("旧名")}});
    CurZbID = QStringLiteral("13800138000");
    CurZbNm = QStringLiteral("旧名");
    ItemName = QStringLiteral("物品");
    SlName = QStringLiteral("存量");

    ZbTyp* d = ZbTyp::instance();
    edit(d, "TxtZbID")->setText(CurZbID);
    edit(d, "TxtZbNm")->setText(CurZbNm);
    d->EdZbNm = 1;
    d->showFrame(1);
    const int result = execWith(d, [&] {
        edit(d, "TxtZbNm")->setText(QStringLiteral("新#名"));
        click(d, "Cmd_5");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(CurZbNm, QStringLiteral("新名"));
    EXPECT_TRUE(DlgRet.isEmpty());
    EXPECT_EQ(d->EdZbNm, 0);
    // The opener writes the new name; the dialog leaves the server alone.
    EXPECT_EQ(countOf(QStringLiteral("select * from Zblst where ZbNm='旧名'")), 1);
}

TEST_F(ZbTypWindow, TypeSettingsUpdateTheOpenLedger) {
    serverLedger(QStringLiteral("13800138000"), QStringLiteral("库房"));
    Kuang* k = kuangWith({{QStringLiteral("13800138000"), QStringLiteral("库房")}});
    const int before = k->CmbZbNm->count();
    CurZbID = QStringLiteral("13800138000");
    CurZbNm = QStringLiteral("库房");
    ItemName = QStringLiteral("物品");
    SlName = QStringLiteral("存量");
    const QString words = QStringLiteral("select ZbNm,Item,SL from Zblst where ZBid='13800138000'");

    ZbTyp* d = ZbTyp::instance();
    d->showFrame(2);
    int result = execWith(d, [&] {
        click(d, "Opt_0");
        click(d, "Cmd_0");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(DlgRet, kOK);
    EXPECT_EQ(ItemName, QStringLiteral("账户"));
    EXPECT_EQ(SlName, QStringLiteral("余额"));
    ASSERT_EQ(RunSql(words), QStringLiteral("1"));
    EXPECT_EQ(SqlRows(1, 0), QStringLiteral("库房"));
    EXPECT_EQ(SqlRows(1, 1), QStringLiteral("账户"));
    EXPECT_EQ(SqlRows(1, 2), QStringLiteral("余额"));
    // The ledger is listed already; no second entry.
    EXPECT_EQ(k->CmbZbNm->count(), before);

    // Words of one's own; typing them chooses the custom type.
    DlgRet.clear();
    d = ZbTyp::instance();
    EXPECT_EQ(edit(d, "Txt_0")->text(), QStringLiteral("账户"));
    d->showFrame(2);
    result = execWith(d, [&] {
        click(d, "Opt_2");
        edit(d, "Txt_0")->clear();
        QTest::keyClicks(edit(d, "Txt_0"), QStringLiteral("box"));
        EXPECT_TRUE(child<QRadioButton>(d, "Opt_4")->isChecked());
        edit(d, "Txt_1")->setText(QStringLiteral(" 件数 "));
        click(d, "Cmd_0");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    ASSERT_EQ(RunSql(words), QStringLiteral("1"));
    EXPECT_EQ(SqlRows(1, 1), QStringLiteral("box"));
    EXPECT_EQ(SqlRows(1, 2), QStringLiteral("件数"));

    // A failed save keeps the frame and the words the server still has.
    Db::setConnection({Db::Engine::Postgres, QStringLiteral("127.0.0.1,1"), QStringLiteral("u"),
                       QStringLiteral("p"), QStringLiteral("d"), Db::Encryption::Off, QString()});
    DlgRet.clear();
    d = ZbTyp::instance();
    d->showFrame(2);
    d->show();
    click(d, "Opt_3");
    click(d, "Cmd_0");
    EXPECT_EQ(Msg::last().text,
              QStringLiteral("账本设置保存失败，请检查网络连接是否正常，然后重试！"));
    EXPECT_EQ(Msg::last().title, QStringLiteral("提示"));
    EXPECT_EQ(Msg::last().icon, QMessageBox::Information);
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(d->isEnabled());
    EXPECT_TRUE(frameShown(d, 2));
    EXPECT_EQ(ItemName, QStringLiteral("box"));
    EXPECT_EQ(SlName, QStringLiteral("件数"));
    EXPECT_TRUE(DlgRet.isEmpty());
    click(d, "Cmd_1");
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(Msg::shown().size(), 1);
}

TEST_F(ZbTypWindow, TypeSettingsFromTheMenuUpdateALedgerWithoutWords) {
    ASSERT_EQ(RunSql(R::ledgerInsert(QStringLiteral("13800138000"), QStringLiteral("库房"),
                                     QString(), QString(), QStringLiteral("2024-01-01"))),
              kOK);
    Kuang* k = kuangWith({{QStringLiteral("13800138000"), QStringLiteral("库房")}});
    const int before = k->CmbZbNm->count();
    CurZbID = QStringLiteral("13800138000");
    CurZbNm = QStringLiteral("库房");
    ItemName.clear();
    SlName.clear();
    CurQx = QString(16, QLatin1Char('1'));
    QTimer::singleShot(0, [] {
        ZbTyp* d = ZbTyp::instance();
        click(d, "Opt_0");
        click(d, "Cmd_0");
        if (d->isVisible())
            d->reject();
    });
    k->Menu_ZbTyp_Click();
    EXPECT_TRUE(Msg::shown().isEmpty()) << Msg::last().text.toStdString();
    EXPECT_EQ(ItemName, QStringLiteral("账户"));
    ASSERT_EQ(RunSql(QStringLiteral("select Item,SL from Zblst")), QStringLiteral("1"));
    EXPECT_EQ(SqlRows(1, 0), QStringLiteral("账户"));
    EXPECT_EQ(SqlRows(1, 1), QStringLiteral("余额"));
    EXPECT_EQ(CurZbID, QStringLiteral("13800138000"));
    EXPECT_EQ(k->CmbZbNm->count(), before);
}

TEST_F(ZbTypWindow, ServerFailures) {
    Kuang* k = kuangWith({});
    const int before = k->CmbZbNm->count();
    ItemName = QStringLiteral("仓"); // words of the ledger opened before
    SlName = QStringLiteral("数");

    // No server: the contact cannot be looked up.
    Db::setConnection({Db::Engine::Postgres, QStringLiteral("127.0.0.1,1"), QStringLiteral("u"),
                       QStringLiteral("p"), QStringLiteral("d"), Db::Encryption::Off, QString()});
    ZbTyp* d = dialogFor(k);
    d->showFrame(0);
    d->show();
    edit(d, "TxtZbID")->setText(QStringLiteral("13900139000"));
    click(d, "Cmd_3");
    EXPECT_EQ(Msg::last().text, QStringLiteral("连接服务器失败，请重试！"));
    EXPECT_TRUE(Msg::last().title.isEmpty());
    EXPECT_EQ(Msg::last().icon, QMessageBox::Information);
    EXPECT_TRUE(frameShown(d, 0));
    EXPECT_TRUE(d->isEnabled());
    EXPECT_TRUE(CurZbID.isEmpty());
    EXPECT_TRUE(DlgRet.isEmpty());

    // Someone else registers the id between the contact and the type step: the insert fails
    // and the user starts again from the contact.
    sb.useSqlite();
    click(d, "Cmd_3");
    ASSERT_TRUE(frameShown(d, 1));
    click(d, "Cmd_5");
    ASSERT_TRUE(frameShown(d, 2));
    serverLedger(QStringLiteral("13900139000"), QStringLiteral("别人的账本"));
    click(d, "Opt_3");
    click(d, "Cmd_0");
    EXPECT_EQ(Msg::last().text,
              QStringLiteral("注册新账本失败，请检查网络连接是否正常，然后重试！"));
    EXPECT_EQ(Msg::last().title, QStringLiteral("提示"));
    EXPECT_EQ(Msg::last().icon, QMessageBox::Information);
    EXPECT_EQ(ItemName, QStringLiteral("仓"));
    EXPECT_EQ(SlName, QStringLiteral("数"));
    EXPECT_TRUE(frameShown(d, 0));
    EXPECT_EQ(edit(d, "TxtZbID")->text(), QStringLiteral("13900139000"));
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(DlgRet.isEmpty());
    EXPECT_EQ(k->CmbZbNm->count(), before);
    EXPECT_EQ(countOf(QStringLiteral("select * from UsrLst")), 0);

    // Trying again finds the ledger now there and joins it.
    click(d, "Cmd_3");
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(DlgRet, kOK);
    ASSERT_EQ(k->CmbZbNm->count(), before + 1);
    EXPECT_EQ(k->CmbZbNm->currentText(), QStringLiteral("别人的账本"));
    EXPECT_EQ(Msg::shown().size(), 2);
}

} // namespace
