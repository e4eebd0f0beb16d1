// The summary table and the balance list driven through their controls on a real database.
#include "app/clock.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "db/sqlaccess.h"
#include "main_window/kuang.h"
#include "reports/hzlst.h"
#include "reports/kclst.h"
#include "reports/mxlst.h"
#include "reports/reportwidgets.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace MainBas;

namespace {

std::string engineName(Db::Engine e) {
    return e == Db::Engine::Sqlite ? "Sqlite" : "Postgres";
}

template <typename T> T* get(QWidget* window, const QString& name) {
    T* w = window->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

void entry(const QString& tm, const QString& item, const QString& sl,
           const QString& zbid = QStringLiteral("L1")) {
    static int id = 0;
    const QString itemValue = item.isNull() ? QStringLiteral("NULL") : "'" + item + "'";
    ASSERT_EQ(
        TestSupport::ownerSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                             "('%1','管理员','%2','W%3',%4,%5,'')")
                                  .arg(zbid, tm, QString::number(++id), itemValue, sl)),
        "OK");
}

// The cells of a shown line, blanks trimmed.
QStringList cells(const QString& line) {
    QStringList out = line.split(QChar(0x2502));
    out.removeLast();
    for (QString& c : out)
        c = c.trimmed();
    return out;
}

// Every line that has cells, as cells joined by "|": rule lines left out.
QStringList table(QWidget* window) {
    auto* lst = get<Report::ReportList>(window, "Lst");
    QStringList out;
    for (int i = 0; i < lst->lines()->count(); ++i)
        if (lst->lines()->text(i).contains(QChar(0x2502)))
            out << cells(lst->lines()->text(i)).join('|');
    return out;
}

void click(QWidget* window, const QString& name) {
    get<QPushButton>(window, name)->click();
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Double-clicks line `row` of the window's list; `inJournal` runs on the journal it opens, which
// is then closed. False when no journal opened.
bool doubleClick(QWidget* window, int row, const std::function<void(MxLst*)>& inJournal = {}) {
    window->show();
    auto* lst = get<Report::ReportList>(window, "Lst");
    bool opened = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* journal = qobject_cast<MxLst*>(QApplication::activeModalWidget())) {
            opened = true;
            if (inJournal)
                inJournal(journal);
            journal->reject();
        }
    });
    poll.start(10);
    const QRect at = lst->visualRect(lst->lines()->index(row, 0));
    QTest::mouseClick(lst->viewport(), Qt::LeftButton, Qt::NoModifier, at.center());
    QTest::mouseDClick(lst->viewport(), Qt::LeftButton, Qt::NoModifier, at.center());
    return opened;
}

int rowOf(QWidget* window, const QString& item) {
    auto* lst = get<Report::ReportList>(window, "Lst");
    for (int i = 0; i < lst->lines()->count(); ++i)
        if (lst->lines()->item(i) == item)
            return i;
    return -1;
}

// The journal's closing balances total: the last cell of its totals line.
QString journalBalance(MxLst* journal) {
    const auto* lines = journal->Lst->lines();
    return cells(lines->text(lines->count() - 4)).value(5);
}

class ReportWindows : public ::testing::TestWithParam<Db::Engine> {
protected:
    void SetUp() override {
        if (!box_.useEngine(GetParam()))
            GTEST_SKIP() << "no test server: run scripts/test.sh";
        Msg::clearShown();
        Clock::set(QDateTime(QDate(2026, 11, 20), QTime(10, 0)));
        // The main window first: loading it starts a fresh session.
        Kuang::instance();
        CurZbID = "L1";
        ItemName = "物品";
        SlName = "存量";
        CurUsr = "管理员";
        CurQx = QString(16, '1');
        // A secure server shows the journal to its ledger's own operators only.
        if (TestSupport::secure() && GetParam() == Db::Engine::Postgres) {
            ASSERT_TRUE(TestSupport::addOperator(CurZbID, CurUsr));
            TestSupport::actAs(CurZbID, CurUsr);
        }
        // The server's date, whatever the test server's clock says.
        SrvDate = "2026-11-20";
        SrvDay = 20;
        SrvReadOn = Clock::now().date();
        entry("2026-10-05 08:00", "钢材", "10");
        entry("2026-11-03 09:00", "钢材", "5");
        entry("2026-11-18 16:30", "钢材", "-3");
        entry("2026-11-12 10:00", "螺丝", "-2");
        entry("2026-11-02 10:00", "螺丝，M8", "1");
        entry("2026-11-25 10:00", "木板", "4"); // after today
        entry("2026-10-01 10:00", "铁钉", "0.1");
        entry("2026-10-02 10:00", "铁钉", "0.2");
        entry("2026-10-03 10:00", "铁钉", "-0.3");
        entry("2026-11-05 10:00", QString(), "7");
        entry("2026-11-06 10:00", "", "8");
        entry("2026-11-07 10:00", "钢材", "100", "L2");
    }
    void TearDown() override {
        Kuang::destroyInstance();
        Clock::clear();
        Msg::clearShown();
    }
    TestSupport::Sandbox box_;
};

} // namespace

TEST_P(ReportWindows, summaryTable) {
    HzLst w(*Kuang::instance()->session());
    EXPECT_EQ(w.windowTitle(), "物品汇总表");
    EXPECT_EQ(w.Cmb->stamp(), "2026-11-01 00:00");
    EXPECT_EQ(w.Cmb2->stamp(), "2026-11-20 23:59");
    EXPECT_FALSE(get<QPushButton>(&w, "Cmd_1")->isEnabled());
    click(&w, "Cmd_0");
    const QStringList titles = {"||||", "物品|期初存量|增加|减少|期末存量"};
    EXPECT_EQ(table(&w), titles + QStringList({"螺丝|0|0|2|-2", "螺丝，M8|0|1|0|1",
                                               "钢材|10|5|3|12", "合计：|10|6|5|11", "||||"}));
    EXPECT_TRUE(get<QPushButton>(&w, "Cmd_1")->isEnabled());
    EXPECT_TRUE(Msg::shown().isEmpty());

    get<QCheckBox>(&w, "Chk")->setChecked(false);
    click(&w, "Cmd_0");
    EXPECT_EQ(table(&w).mid(2, 6),
              QStringList({"木板|0|0|0|0", "螺丝|0|0|2|-2", "螺丝，M8|0|1|0|1", "钢材|10|5|3|12",
                           "铁钉|0|0|0|0", "合计：|10|6|5|11"}));

    // Item choice: plain contains, equals in any letter case, and the two refusals.
    auto* item = get<QComboBox>(&w, "CmbItm");
    auto* relation = get<QComboBox>(&w, "CmbGX1");
    relation->setCurrentIndex(1);
    item->setEditText("丝，");
    click(&w, "Cmd_0");
    EXPECT_EQ(table(&w).mid(2, 2), QStringList({"螺丝，M8|0|1|0|1", "合计：|0|1|0|1"}));
    item->setEditText("钉 ");
    relation->setCurrentIndex(0);
    click(&w, "Cmd_0");
    EXPECT_EQ(Msg::last().text, "账本中不存在“钉 ”这个物品");
    EXPECT_EQ(table(&w).mid(2, 1), QStringList({"螺丝，M8|0|1|0|1"})); // left as it was
    relation->setCurrentIndex(1);
    click(&w, "Cmd_0");
    EXPECT_EQ(table(&w).mid(2, 2), QStringList({"铁钉|0|0|0|0", "合计：|0|0|0|0"}));
    get<QCheckBox>(&w, "Chk")->setChecked(true);
    click(&w, "Cmd_0");
    EXPECT_EQ(Msg::last().text, "没有符合条件的物品！");
    EXPECT_FALSE(get<QPushButton>(&w, "Cmd_1")->isEnabled());

    // A failed statement is not a table of zeros.
    Db::Connection gone = box_.sqlite();
    gone.database = "/proc/zelvo-none/云记账.db";
    Db::setConnection(gone);
    item->setEditText("");
    click(&w, "Cmd_0");
    EXPECT_EQ(Msg::last().text, "连接服务器失败，请重试！");
    EXPECT_EQ(table(&w), titles + QStringList({"||||"}));

    // A ledger left without records clears the old table and its export.
    Db::setConnection(GetParam() == Db::Engine::Sqlite ? box_.sqlite() : TestSupport::postgres());
    item->setEditText("");
    click(&w, "Cmd_0");
    ASSERT_TRUE(get<QPushButton>(&w, "Cmd_1")->isEnabled());
    ASSERT_EQ(TestSupport::ownerSql("delete from Zhang"), "OK");
    click(&w, "Cmd_0");
    EXPECT_EQ(Msg::last().text, "这个账本还没有录入任何记录，不能进行报表统计！");
    EXPECT_EQ(table(&w), titles + QStringList({"||||"}));
    EXPECT_FALSE(get<QPushButton>(&w, "Cmd_1")->isEnabled());
}

TEST_P(ReportWindows, balanceList) {
    KcLst w(*Kuang::instance()->session());
    EXPECT_EQ(w.windowTitle(), "物品存量表");
    auto* value = get<QLineEdit>(&w, "Txt");
    auto* valueRelation = get<QComboBox>(&w, "CmbGX2");
    auto* item = get<QComboBox>(&w, "Cmb");
    EXPECT_EQ(value->text(), "0");
    const QStringList titles = {"", "物品|存量"};
    const auto run = [&] {
        click(&w, "Cmd_0");
        return table(&w);
    };
    EXPECT_EQ(run(), titles + QStringList({"木板", "螺丝，M8", "钢材", "合计：", ""}));

    const auto listed = [&] {
        QStringList out;
        for (int i = 3; i < w.Lst->lines()->count(); ++i)
            if (!w.Lst->lines()->item(i).isEmpty())
                out << w.Lst->lines()->item(i);
        return out;
    };
    valueRelation->setCurrentIndex(1);
    run();
    EXPECT_EQ(listed(), QStringList({"螺丝"}));
    valueRelation->setCurrentIndex(2);
    run();
    EXPECT_EQ(listed(), QStringList({"铁钉"})); // 0.1 + 0.2 - 0.3 shows 0
    value->setText("abc");
    run();
    EXPECT_EQ(value->text(), "0");
    value->setText("1.0x");
    run();
    EXPECT_EQ(value->text(), "1");
    EXPECT_EQ(listed(), QStringList({"螺丝，M8"}));

    // No value filter: every item, the empty and NULL ones skipped, not ending the list.
    value->clear();
    run();
    EXPECT_EQ(listed(), QStringList({"木板", "螺丝", "螺丝，M8", "钢材", "铁钉"}));
    const QString total = w.Lst->lines()->text(w.Lst->lines()->count() - 4);
    EXPECT_TRUE(total.endsWith(" 15")) << total.toStdString();
    HzLst summary(*Kuang::instance()->session());
    summary.Cmb2->select(0, "2036");
    click(&summary, "Cmd_0");
    EXPECT_EQ(table(&summary).at(table(&summary).size() - 2), "合计：|10|10|5|15");

    // Item filters: quotes dropped, the rest as typed; "contains" taken literally.
    item->setEditText("螺丝，M8'");
    run();
    EXPECT_EQ(listed(), QStringList({"螺丝，M8"}));
    get<QComboBox>(&w, "CmbGX1")->setCurrentIndex(1);
    item->setEditText("丝");
    run();
    EXPECT_EQ(listed(), QStringList({"螺丝", "螺丝，M8"}));
    item->setEditText("%");
    run();
    EXPECT_EQ(Msg::last().text, "没有符合条件的数据！");
    EXPECT_FALSE(get<QPushButton>(&w, "Cmd_1")->isEnabled());

    Db::Connection gone = box_.sqlite();
    gone.database = "/proc/zelvo-none/云记账.db";
    Db::setConnection(gone);
    item->setEditText("");
    EXPECT_EQ(run(), titles + QStringList({""}));
    EXPECT_EQ(Msg::last().text, "连接服务器失败，请重试！");
}

TEST_P(ReportWindows, exportsAppendGb18030Lines) {
    const QString data = QStringLiteral(ZELVO_TEST_DATA);
    const auto exportTwice = [&](QWidget* w, const QString& file) {
        const QString path = box_.path(file);
        for (int i = 0; i < 2; ++i) {
            Shell::setNextSaveFileName(path);
            Msg::queueAnswer(QMessageBox::No);
            click(w, "Cmd_1");
        }
        EXPECT_EQ(Msg::last().text, "数据导出完成！\n\n是否需要打开这个Excel文件？");
        return fileBytes(path);
    };
    HzLst summary(*Kuang::instance()->session());
    click(&summary, "Cmd_0");
    EXPECT_EQ(exportTwice(&summary, "汇总.csv"), fileBytes(data + "/summary_export.csv"));
    KcLst balance(*Kuang::instance()->session());
    click(&balance, "Cmd_0");
    EXPECT_EQ(exportTwice(&balance, "存量.csv"), fileBytes(data + "/balance_export.csv"));

    CurQx[7] = '0';
    Msg::clearShown();
    click(&balance, "Cmd_1");
    EXPECT_EQ(Msg::last().text, "对不起，您无此权限！");
}

TEST_P(ReportWindows, doubleClicksOpenTheRowsOwnItemInTheJournal) {
    // Two names that the item cell cuts to the same text.
    entry("2026-11-08 10:00", "不锈钢无缝钢管φ32×2.5国标GB/T14976-2012A", "6");
    entry("2026-11-09 10:00", "不锈钢无缝钢管φ32×2.5国标GB/T14976-2012B", "7");
    entry("2024-05-10 09:00", "旧账", "3");
    entry("2026-12-15 08:00", "预收", "5"); // dated ahead of today

    HzLst summary(*Kuang::instance()->session());
    click(&summary, "Cmd_0");
    const int b = rowOf(&summary, "不锈钢无缝钢管φ32×2.5国标GB/T14976-2012B");
    ASSERT_GT(b, 2);
    EXPECT_EQ(cells(summary.Lst->lines()->text(b)).value(0),
              cells(summary.Lst->lines()->text(b - 2)).value(0));
    summary.Cmb->select(2, "05");
    EXPECT_TRUE(doubleClick(&summary, b, [](MxLst* journal) {
        EXPECT_EQ(journal->CmbItm->currentText(), "不锈钢无缝钢管φ32×2.5国标GB/T14976-2012B");
        EXPECT_EQ(journal->Cmb->stamp(), "2026-11-05 00:00");
        EXPECT_EQ(journal->Cmb2->stamp(), "2026-11-20 23:59");
        EXPECT_EQ(journalBalance(journal), "7");
    }));
    const int totals = summary.Lst->lines()->count() - 4;
    ASSERT_TRUE(summary.Lst->lines()->text(totals).contains("合计："));
    for (int row : {totals, 1})
        EXPECT_FALSE(doubleClick(&summary, row)) << row;
    // A rule line is stepped over: the highlighted record beside it is opened.
    EXPECT_TRUE(doubleClick(&summary, b + 1, [&](MxLst* journal) {
        EXPECT_EQ(journal->CmbItm->currentText(),
                  summary.Lst->lines()->item(summary.Lst->selected()));
    }));
    Msg::clearShown(); // that item has no entry in the period

    KcLst balance(*Kuang::instance()->session());
    click(&balance, "Cmd_0");
    EXPECT_TRUE(doubleClick(&balance, rowOf(&balance, "旧账"), [](MxLst* journal) {
        EXPECT_EQ(journal->Cmb->stamp(), "2024-01-01 00:00");
        EXPECT_EQ(journal->Cmb2->stamp(), "2026-11-20 23:59");
        EXPECT_EQ(journalBalance(journal), "3");
    }));
    EXPECT_TRUE(doubleClick(&balance, rowOf(&balance, "预收"), [](MxLst* journal) {
        EXPECT_EQ(journal->CmbItm->currentText(), "预收");
        EXPECT_EQ(journal->Cmb->stamp(), "2026-11-01 00:00");
        EXPECT_EQ(journal->Cmb2->stamp(), "2026-12-15 23:59");
        EXPECT_EQ(journalBalance(journal), "5");
    }));
    EXPECT_FALSE(doubleClick(&balance, balance.Lst->lines()->count() - 4)); // the totals row
    EXPECT_TRUE(Msg::shown().isEmpty());
}

TEST_P(ReportWindows, reportMenuOpensBothWindowsBehindTheirRights) {
    ItemName = "客户";
    SlName = "应收款";
    Kuang* k = Kuang::instance();
    k->findChild<QPushButton*>("CmdRpt")->click();
    k->Menu_Rpt->close();
    const auto opens = [&](QAction* entry) {
        QString shown;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                shown = w->objectName() + ":" + w->windowTitle();
                w->reject();
            }
        });
        poll.start(10);
        entry->trigger();
        return shown;
    };
    EXPECT_EQ(opens(k->Menu_SumSL), "KcLst:客户应收款表");
    EXPECT_EQ(opens(k->Menu_JxcHZ), "HzLst:客户汇总表");
    EXPECT_TRUE(Msg::shown().isEmpty());
    CurQx = "1111011111111111"; // right 5 withdrawn
    EXPECT_EQ(opens(k->Menu_SumSL), "");
    EXPECT_EQ(Msg::last().text, "对不起，您无此权限！");
    CurQx = "1111110111111111"; // right 7 withdrawn
    Msg::clearShown();
    EXPECT_EQ(opens(k->Menu_JxcHZ), "");
    EXPECT_EQ(Msg::last().text, "对不起，您无此权限！");
}

INSTANTIATE_TEST_SUITE_P(Engines, ReportWindows,
                         ::testing::Values(Db::Engine::Sqlite, Db::Engine::Postgres),
                         [](const auto& info) { return engineName(info.param); });
