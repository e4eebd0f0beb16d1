// Printing, PDF files and the item chart of the report windows, on a real database: the PDF is
// read back as text with pdftotext and held against the rows the window lists.
#include "app/clock.h"
#include "app/format.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "db/sqlaccess.h"
#include "main_window/kuang.h"
#include "reports/chartseries.h"
#include "reports/hzlst.h"
#include "reports/kclst.h"
#include "reports/mxlst.h"
#include "reports/printable.h"
#include "reports/reportprint.h"
#include "reports/shlst.h"
#include "reports/zstu.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace MainBas;

namespace {

const QChar kBar(0x2502);

// Inserts a record and returns its id; `zbid` may be a retired row's marker.
QString entry(const QString& tm, const QString& item, double sl, const QString& bz = QString(),
              const QString& zbid = "L1", const QString& usr = "管理员") {
    static int id = 0;
    const QString at = QStringLiteral("P%1").arg(++id);
    EXPECT_EQ(
        TestSupport::ownerSql(QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values "
                                             "('%1','%2','%3','%4','%5',%6,'%7')")
                                  .arg(zbid, usr, tm, at, item)
                                  .arg(sl)
                                  .arg(bz)),
        "OK");
    return at;
}

// The non-empty cells of a shown line, the journal's remark after the last bar included.
QStringList cellsOf(const QString& line) {
    QStringList out;
    for (const QString& c : line.split(kBar))
        if (!c.trimmed().isEmpty())
            out << c.trimmed();
    return out;
}

bool inOrder(const QString& line, const QStringList& cells) {
    qsizetype at = 0;
    for (const QString& c : cells) {
        at = line.indexOf(c, at);
        if (at < 0)
            return false;
        at += c.size();
    }
    return true;
}

// pdftotext's pages of the file, each as its lines.
QVector<QStringList> pdfPages(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(60000)) << "pdftotext (poppler-utils) is needed";
    QVector<QStringList> pages;
    for (const QString& page : QString::fromUtf8(p.readAllStandardOutput()).split(QChar('\f')))
        if (!page.trimmed().isEmpty())
            pages << page.split(QChar('\n'));
    return pages;
}

// Without blanks: pdftotext writes the ideographic one and the gaps between fonts as it likes.
QString flat(const QString& text) {
    QString out;
    for (const QChar c : text)
        if (!c.isSpace())
            out += c;
    return out;
}

QString pdfInfo(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool hasLine(const QString& path, const QStringList& cells) {
    for (const QStringList& page : pdfPages(path))
        if (std::any_of(page.begin(), page.end(),
                        [&](const QString& l) { return inOrder(l, cells); }))
            return true;
    return false;
}

QString firstPage(const QString& path) {
    return flat(pdfPages(path).value(0).join(' '));
}

// Every record line and the totals line of the window's list, in order, each on one line of
// the PDF; the pages numbered, headed by `heads` and footed by the operator and the time.
void expectPdfHoldsList(const QString& path, Report::ReportList* lst, const QStringList& heads) {
    const QVector<QStringList> pages = pdfPages(path);
    ASSERT_FALSE(pages.isEmpty());
    QStringList all;
    for (int i = 0; i < pages.size(); ++i) {
        const QString page = flat(pages[i].join(' '));
        EXPECT_TRUE(
            page.contains(flat(QStringLiteral("第 %1 页 / 共 %2 页").arg(i + 1).arg(pages.size()))))
            << i;
        EXPECT_TRUE(page.contains(flat("操作员：管理员　打印时间：2026-11-20 10:00"))) << i;
        EXPECT_TRUE(std::any_of(pages[i].begin(), pages[i].end(),
                                [&](const QString& l) { return inOrder(l, heads); }))
            << "heads on page " << i + 1;
        all += pages[i];
    }
    qsizetype at = 0;
    const auto* lines = lst->lines();
    for (int i = 2; i < lines->count(); ++i) {
        const QString text = lines->text(i);
        if (lines->id(i).isEmpty() && lines->item(i).isEmpty() && !text.contains("合计："))
            continue;
        const QStringList cells = cellsOf(text);
        while (at < all.size() && !inOrder(all[at], cells))
            ++at;
        EXPECT_LT(at, all.size()) << "missing: " << cells.join('|').toStdString();
    }
}

class Printing : public ::testing::TestWithParam<Db::Engine> {
protected:
    void SetUp() override {
        if (!box_.useEngine(GetParam()))
            GTEST_SKIP() << "no test server: run scripts/test.sh";
        Msg::clearShown();
        Clock::set(QDateTime(QDate(2026, 11, 20), QTime(10, 0)));
        Kuang::instance();
        CurZbID = "L1";
        CurZbNm = "五金仓库";
        ItemName = "物品";
        SlName = "存量";
        CurUsr = "管理员";
        CurQx = QString(16, '1');
        // A secure server shows the journal to its ledger's own operators only.
        if (TestSupport::secure() && GetParam() == Db::Engine::Postgres) {
            ASSERT_TRUE(TestSupport::addOperator(CurZbID, CurUsr));
            TestSupport::actAs(CurZbID, CurUsr);
        }
        SrvDate = "2026-11-20";
        SrvDay = 20;
        SrvReadOn = Clock::now().date();
        entry("2026-10-05 08:00", "钢材", 10);
        entry("2026-10-06 08:00", "螺丝", 4);
    }
    void TearDown() override {
        Kuang::destroyInstance();
        Clock::clear();
        Msg::clearShown();
    }
    // The PDF the window's CmdPdf writes, the question to open it answered No.
    QString pdfOf(QWidget* w, const QString& name) {
        const QString path = box_.path(name);
        Shell::setNextSaveFileName(path);
        Msg::queueAnswer(QMessageBox::No);
        w->findChild<QPushButton*>("CmdPdf")->click();
        EXPECT_EQ(Msg::last().text, "数据导出完成！\n\n是否需要打开这个PDF文件？");
        return path.endsWith(".pdf") ? path : path + ".pdf";
    }
    TestSupport::Sandbox box_;
};

} // namespace

TEST_P(Printing, longJournalPdfSpansPagesWithHeadsRepeated) {
    for (int i = 0; i < 70; ++i)
        entry(QStringLiteral("2026-11-%1 09:%2")
                  .arg(i % 19 + 1, 2, 10, QChar('0'))
                  .arg(i % 60, 2, 10, QChar('0')),
              i % 3 ? "钢材" : "螺丝，M8", i % 4 ? 5 + i : -2.5, i % 5 ? "" : "计划外");
    MxLst w(*Kuang::instance()->session());
    EXPECT_FALSE(w.CmdPdf->isEnabled());
    w.Cmd[0]->click();
    ASSERT_TRUE(w.CmdPdf->isEnabled());
    // The pages are drawn under the wait banner, the progress bar counting them.
    auto* bar = w.findChild<QProgressBar*>("PrintProgress");
    ASSERT_NE(bar, nullptr);
    QStringList progress;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int done) {
        progress << QString("%1/%2 %3")
                        .arg(done)
                        .arg(bar->maximum())
                        .arg(w.CmdWait->isVisible() && bar->isVisible() ? w.CmdWait->text() : "");
    });
    w.show();
    const QString path = pdfOf(&w, "明细");
    EXPECT_EQ(Shell::lastProposedName(), "五金仓库-流水明细账-2026-11-20.pdf");
    EXPECT_TRUE(QFile::exists(box_.path("明细.pdf")));
    const QVector<QStringList> pages = pdfPages(path);
    EXPECT_GT(pages.size(), 1);
    ASSERT_EQ(progress.size(), pages.size() + 1);
    for (int i = 0; i <= pages.size(); ++i)
        EXPECT_EQ(progress[i], QString("%1/%2 正在生成PDF文件，请稍候……").arg(i).arg(pages.size()));
    EXPECT_FALSE(w.CmdWait->isVisible() || bar->isVisible());
    EXPECT_TRUE(firstPage(path).contains(flat("五金仓库　流水明细账")));
    EXPECT_TRUE(firstPage(path).contains(
        flat("时段：2026-11-01 00:00 — 2026-11-20 23:59　物品：全部物品　增减：增减")));
    expectPdfHoldsList(path, w.Lst, {"操作员", "时间", "物品", "增加", "减少", "存量", "备注"});
    EXPECT_TRUE(pdfInfo(path).contains(QRegularExpression("Page size: +842 x 595")));

    // Every filter goes on the line; without the balance column the page is still one table.
    w.CmbItm->setEditText("钢");
    w.CmbGX1->setCurrentIndex(1);
    w.CmbSL->setCurrentIndex(1);
    w.TxtBZ->setText("计划");
    w.Cmd[0]->click();
    const QString filtered = pdfOf(&w, "筛选.pdf");
    EXPECT_TRUE(firstPage(filtered).contains(flat("物品：包含“钢”　增减：增加　备注：包含“计划”")));
    expectPdfHoldsList(filtered, w.Lst, {"操作员", "时间", "物品", "增加", "减少", "备注"});
}

TEST_P(Printing, summaryAndBalancePdfsAndTheirRight) {
    entry("2026-11-03 09:00", "钢材", 5);
    entry("2026-11-18 16:30", "钢材", -3);
    entry("2026-11-12 10:00", "螺丝", -6);
    HzLst summary(*Kuang::instance()->session());
    summary.Cmd[0]->click();
    const QString sum = pdfOf(&summary, "汇总.pdf");
    EXPECT_TRUE(firstPage(sum).contains(flat("五金仓库　物品汇总表")));
    EXPECT_TRUE(firstPage(sum).contains(
        flat("时段：2026-11-01 00:00 — 2026-11-20 23:59　物品：全部物品　四列数值均为0的不显示")));
    expectPdfHoldsList(sum, summary.Lst, {"物品", "期初存量", "增加", "减少", "期末存量"});
    EXPECT_TRUE(pdfInfo(sum).contains(QRegularExpression("Page size: +595 x 842")));

    KcLst balance(*Kuang::instance()->session());
    EXPECT_FALSE(balance.CmdPrint->isEnabled());
    balance.Cmd[0]->click();
    const QString bal = pdfOf(&balance, "存量.pdf");
    EXPECT_TRUE(firstPage(bal).contains(flat("五金仓库　物品存量表")));
    EXPECT_TRUE(firstPage(bal).contains(flat("物品：全部物品　存量：大于 0")));
    expectPdfHoldsList(bal, balance.Lst, {"物品", "存量"});

    // With the right the print button opens the preview; without it both buttons refuse.
    QString preview;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
            preview = d->windowTitle();
            d->reject();
        }
    });
    poll.start(10);
    int drawn = 0;
    QObject::connect(balance.findChild<QProgressBar*>("PrintProgress"), &QProgressBar::valueChanged,
                     [&](int done) { drawn = done; });
    balance.CmdPrint->click();
    EXPECT_EQ(preview, "五金仓库　物品存量表");
    EXPECT_EQ(drawn, 1); // the preview's page drawn under the progress bar too
    CurQx[7] = '0';
    Msg::clearShown();
    preview.clear();
    for (QWidget* w : {static_cast<QWidget*>(&summary), static_cast<QWidget*>(&balance)})
        for (const char* name : {"CmdPrint", "CmdPdf"})
            w->findChild<QPushButton*>(name)->click();
    EXPECT_EQ(Msg::shown().size(), 4);
    EXPECT_EQ(Msg::last().text, "对不起，您无此权限！");
    EXPECT_TRUE(preview.isEmpty());
}

TEST_P(Printing, auditPdfHoldsTheRetiredRecordsAndNeedsTheExportRight) {
    const QString by = entry("2026-11-12 10:00", "钢材", 7, "", "L1", "张三");
    entry("2026-11-02 08:00", "钢材", 5, "", by + "#L1#2026-11-12 10:00");
    entry("2026-11-03 09:00", "钢材", 2.5, "试用", "张三#L1#2026-11-15 16:30");
    entry("2026-11-04 09:00", "螺丝", -6, "退货", "管理员#L1#2026-11-18 08:05");
    entry("2026-11-05 09:00", "螺丝", 1, "", "管理员#L2#2026-11-18 08:05");
    Kuang::instance()->session()->setOperators({"管理员", "张三"});
    ShLst w(*Kuang::instance()->session(), nullptr);
    EXPECT_FALSE(w.CmdPrint->isEnabled() || w.CmdPdf->isEnabled());
    w.show();
    const QList<QWidget*> row{w.Label2,   w.Lst,    w.Cmd[0], w.Cmd[1],
                              w.CmdPrint, w.CmdPdf, w.Cmd[3], w.Cmd[2]};
    for (int i = 0; i < row.size(); ++i) {
        EXPECT_TRUE(w.rect().contains(row[i]->geometry())) << i;
        for (int j = i + 1; j < row.size(); ++j)
            EXPECT_FALSE(row[i]->geometry().intersects(row[j]->geometry())) << i << j;
    }
    w.Cmd[0]->click();
    ASSERT_TRUE(w.CmdPrint->isEnabled() && w.CmdPdf->isEnabled());
    const QStringList heads{"处理人", "处理时间", "处理", "操作员", "时间",
                            "物品",   "增加",     "减少", "备注",   "改为"};
    const QString all = pdfOf(&w, "审核.pdf");
    EXPECT_TRUE(firstPage(all).contains(flat("五金仓库　帐目审核")));
    EXPECT_TRUE(
        firstPage(all).contains(flat("时段：2026-11-01 00:00 — 2026-11-20 23:59　物品：全部物品")));
    EXPECT_TRUE(hasLine(all, {"合计：", "7.5", "6"}));
    EXPECT_FALSE(firstPage(all).contains(flat("处理人：")));
    expectPdfHoldsList(all, w.Lst, heads);

    w.CmbItm->setEditText("钢材");
    w.CmbUsr->setCurrentText("张三");
    w.Cmd[0]->click();
    const QString some = pdfOf(&w, "审核筛选.pdf");
    EXPECT_TRUE(firstPage(some).contains(flat("物品：钢材　处理人：张三")));
    EXPECT_TRUE(hasLine(some, {"合计：", "7.5", "0"}));
    EXPECT_FALSE(firstPage(some).contains("螺丝"));
    expectPdfHoldsList(some, w.Lst, heads);

    CurQx[7] = '0';
    Msg::clearShown();
    w.CmdPrint->click();
    w.CmdPdf->click();
    EXPECT_EQ(Msg::shown().size(), 2);
    EXPECT_EQ(Msg::last().text, "对不起，您无此权限！");
}

TEST_P(Printing, chartFollowsTheJournalsRunningBalances) {
    entry("2026-11-02 08:00", "钢材", 7, "进货");
    entry("2026-11-02 08:00", "钢材", -4);
    entry("2026-11-09 15:30", "钢材", -20);
    entry("2026-11-15 11:00", "螺丝", 3);
    entry("2026-11-19 17:45", "钢材", 2.5);
    MxLst w(*Kuang::instance()->session());
    EXPECT_EQ(w.CmdChart->toolTip(),
              "走势图画的是一个物品的存量变化：请先选定这个物品，统计出它的账目");
    w.Cmd[0]->click();
    EXPECT_FALSE(w.CmdChart->isEnabled()); // every item
    EXPECT_EQ(w.CmdChart->toolTip(), "走势图画的是一个物品：请选择或输入一个物品再统计");
    w.CmbItm->setEditText("钢材");
    w.Cmd[0]->click();
    ASSERT_TRUE(w.CmdChart->isEnabled());
    EXPECT_EQ(w.CmdChart->toolTip(), "");

    // The series' points are the balances the journal lists, from the opening at the start.
    const Journal::Filter f = w.filter();
    const Journal::Listing l = Journal::list(CurZbID, ItemName, f);
    ASSERT_EQ(Chart::chartItem(f, ItemName, l), "钢材");
    const Chart::Series s = Chart::series(l, "钢材", f);
    EXPECT_EQ(s.opening, 10);
    EXPECT_EQ(s.start, QDateTime(QDate(2026, 11, 1), QTime(0, 0), Qt::UTC));
    QStringList listed, charted;
    for (int i = 0; i < w.Lst->lines()->count(); ++i) {
        QStringList cells = w.Lst->lines()->text(i).split(kBar);
        if (!w.Lst->lines()->id(i).isEmpty())
            listed << cells[1].trimmed() + " " + cells[5].trimmed();
    }
    for (const Chart::Step& step : s.steps)
        charted << step.at.toString("yyyy-MM-dd HH:mm") + " " + NumStr(step.balance);
    EXPECT_EQ(charted, listed);
    EXPECT_EQ(s.low, -7);
    EXPECT_EQ(s.high, 17);

    // A list without the balance column, or of items containing a text, has no chart.
    w.CmbSL->setCurrentIndex(2);
    w.Cmd[0]->click();
    EXPECT_FALSE(w.CmdChart->isEnabled());
    EXPECT_EQ(w.CmdChart->toolTip(),
              "走势图要用存量列：请按物品排序，选“增减”，并且不按备注或操作员筛选");
    w.CmbSL->setCurrentIndex(0);
    w.CmbGX1->setCurrentIndex(1);
    w.Cmd[0]->click();
    EXPECT_FALSE(w.CmdChart->isEnabled());
    EXPECT_EQ(w.CmdChart->toolTip(), "走势图画的是一个物品：请把“包含”改为“等于”");
    w.CmbGX1->setCurrentIndex(0);
    w.Cmd[0]->click();

    // The window draws from the rows already listed: no statement reaches a lost server.
    Db::Connection gone = box_.sqlite();
    gone.database = "/proc/zelvo-none/云记账.db";
    Db::setConnection(gone);
    const QString png = box_.path("走势");
    bool shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* chart = qobject_cast<ZsTu*>(QApplication::activeModalWidget());
        if (!chart)
            return;
        shown = true;
        EXPECT_EQ(chart->windowTitle(), "物品走势图：钢材");
        EXPECT_EQ(chart->view->series().steps.size(), s.steps.size());
        for (int i = 0; i < s.steps.size(); ++i)
            EXPECT_EQ(chart->view->hoverAt(chart->view->pointOf(i).toPoint()), i);
        Shell::setNextSaveFileName(png);
        chart->CmdSave->click();
        chart->reject();
    });
    poll.start(10);
    w.CmdChart->click();
    EXPECT_TRUE(shown);
    const QImage saved(png + ".png");
    EXPECT_FALSE(saved.isNull());
    EXPECT_EQ(saved.text("Title"), "物品走势图：钢材　时段：2026-11-01 00:00 — 2026-11-20 23:59");
    EXPECT_EQ(Shell::lastProposedName(), "五金仓库-物品走势图-钢材-2026-11-20.png");
    EXPECT_TRUE(Msg::shown().isEmpty()) << Msg::last().text.toStdString();

    // The item and the period are drawn in the picture itself.
    Chart::Series other = s;
    other.item = "钢板";
    ZsTu a(s), b(other);
    a.resize(960, 560);
    b.resize(960, 560);
    EXPECT_EQ(a.picture().size(), b.picture().size());
    EXPECT_NE(a.picture(), b.picture());
}

TEST(PrintLayout, longCellsEndInAnEllipsisEmptyColumnsStayNarrowFiltersWrap) {
    Print::Printable p;
    p.title = "五金仓库　流水明细账";
    p.filterLine = "物品：全部物品　备注：包含“" + QString("很长的备注").repeated(40) + "末尾”";
    p.columns = {
        {"物品", 3000}, {"增加", 1000, Print::Align::Right}, {"改为", 2000}, {"备注", 4000}};
    p.rows = {{"不锈钢" + QString("管").repeated(60) + "尾巴", "5", "",
               "备注开头" + QString("长").repeated(200) + "备注结尾\n第二行"},
              {"钢管", "3", "", "短"}};
    p.totals = {"合计：", "8", "", ""};

    // The empty column is as wide as its head; the others share the rest as on the screen.
    const QVector<double> w =
        Print::columnWidths(p, 1000, [](const QString& head) { return 20.0 * head.size(); });
    ASSERT_EQ(w.size(), 4);
    EXPECT_DOUBLE_EQ(w[2], 40);
    EXPECT_DOUBLE_EQ(w[0] + w[1] + w[3], 960);
    EXPECT_DOUBLE_EQ(w[0] * 4, w[3] * 3);
    EXPECT_DOUBLE_EQ(w[1] * 3, w[0]);
    p.rows[1][2] = "钢板";
    EXPECT_DOUBLE_EQ(Print::columnWidths(p, 1000, [](const QString&) { return 1.0; })[2], 200);
    p.rows[1][2].clear();

    QTemporaryDir dir;
    const QString path = dir.filePath("cells.pdf");
    ASSERT_TRUE(ReportPrint::writePdf(p, path));
    const QString page = firstPage(path);
    EXPECT_TRUE(page.contains(flat(p.filterLine))); // whole, on as many lines as it needs
    EXPECT_TRUE(hasLine(path, {"不锈钢管管", "…", "5", "备注开头长长", "…"}));
    for (const char* cut : {"尾巴", "备注结尾", "第二行"})
        EXPECT_FALSE(page.contains(cut)) << cut;
    EXPECT_TRUE(hasLine(path, {"钢管", "3", "短"}));
}

TEST(ChartAxes, valueAxisHugsTheDataWithRoundTicksInside) {
    // Before, the ticks themselves were the axis' ends: a dip to -5 under 98,000 drew the axis
    // down to -20,000.
    for (auto [low, high] : {std::pair{0.0, 10.0},
                             {-7.0, 17.0},
                             {3.0, 3.0},
                             {0.001, 0.0042},
                             {-12000.0, 98000.0},
                             {-5.0, 98000.0},
                             {-0.5, 1e6},
                             {-3.0, -1.0}}) {
        const Chart::Axis a = Chart::valueAxis(low, high, 7);
        const double room = high > low ? (high - low) * 0.1 : 1.5;
        EXPECT_LE(a.low, low) << low << " " << high;
        EXPECT_GE(a.high, high) << low << " " << high;
        EXPECT_GE(a.low, low - room) << low << " " << high;
        EXPECT_LE(a.high, high + room) << low << " " << high;
        ASSERT_GE(a.ticks.size(), 2) << low << " " << high;
        EXPECT_LE(a.ticks.size(), 7);
        EXPECT_GE(a.ticks.first(), a.low);
        EXPECT_LE(a.ticks.last(), a.high);
        const double step = a.ticks[1] - a.ticks[0];
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        EXPECT_TRUE(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 ||
                    std::abs(mantissa - 5) < 1e-6)
            << step;
    }
    const QDateTime start(QDate(2026, 11, 1), QTime(0, 0), Qt::UTC);
    for (double days : {0.5, 3.0, 30.0, 400.0, 3000.0}) {
        const QDateTime end = start.addSecs(qint64(days * 86400));
        const QVector<Chart::TimeTick> t = Chart::timeTicks(start, end, 8);
        EXPECT_GE(t.size(), 2) << days;
        EXPECT_LE(t.size(), 8) << days;
        for (const Chart::TimeTick& tick : t)
            EXPECT_TRUE(tick.at >= start && tick.at <= end && !tick.label.isEmpty()) << days;
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, Printing,
                         ::testing::Values(Db::Engine::Sqlite, Db::Engine::Postgres),
                         [](const auto& info) {
                             return std::string(info.param == Db::Engine::Sqlite ? "Sqlite"
                                                                                 : "Postgres");
                         });
