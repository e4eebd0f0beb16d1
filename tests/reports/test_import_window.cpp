// The batch import window driven through its controls: the report menu's entry, a range pasted
// from a spreadsheet, the preview's errors, the rights, files that are refused.
#include "app/clock.h"
#include "app/csv.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "db/sqlaccess.h"
#include "main_window/kuang.h"
#include "reports/drlst.h"
#include "reports/importread.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace MainBas;

namespace {

const QString kZb = QStringLiteral("13800138000");

using TestSupport::shownTexts;

int rows() {
    return RunSqlOne("select count(*) from Zhang where ZBID='" + kZb + "'").toInt();
}

class ImportWindow : public ::testing::Test {
protected:
    TestSupport::Sandbox sb;
    Kuang* k = nullptr;

    void SetUp() override {
        Msg::clearShown();
        Clock::set(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
        ItemName = QStringLiteral("物品");
        SlName = QStringLiteral("存量");
        k = Kuang::instance();
        CurZbID = kZb;
        CurUsr = QStringLiteral("管理员");
        CurQx = QString(16, QLatin1Char('1'));
        k->ShowPanel(2);
    }
    void TearDown() override {
        Kuang::destroyInstance();
        Msg::clearShown();
    }
    void click(DrLst& w, int i) { QTest::mouseClick(w.Cmd[i], Qt::LeftButton); }
};

} // namespace

TEST_F(ImportWindow, ReportMenuOpensItForAnOperatorWhoMayRecord) {
    const QList<QAction*> actions = k->Menu_Rpt->actions();
    EXPECT_EQ(actions.indexOf(k->Menu_DaoRu), actions.indexOf(k->Menu_JxcMx) + 1);
    EXPECT_EQ(k->Menu_DaoRu->text(), QStringLiteral("批量导入"));
    CurQx = QStringLiteral("1001111111111111");
    k->Menu_DaoRu->trigger();
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral("对不起，您没有【记账】的权限！")});

    CurQx = QStringLiteral("1011111111111111");
    QString seen;
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [&seen, poll] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w)
            return QTimer::singleShot(10, *poll);
        seen = w->objectName() + w->windowTitle();
        QTest::mouseClick(w->findChild<QPushButton*>("Cmd_3"), Qt::LeftButton);
    };
    QTimer::singleShot(0, *poll);
    k->Menu_DaoRu->trigger();
    EXPECT_EQ(seen, QStringLiteral("DrLst批量导入"));
}

TEST_F(ImportWindow, APastedRangeIsPreviewedCheckedAndWrittenWhole) {
    DrLst w(*k->session(), k);
    QApplication::clipboard()->setText(QStringLiteral("物品\t数量\t备注\t日期\r\n"
                                                      "钢管\t1,000\t进货\t\r\n"
                                                      "角钢\t-5\t\t2026-02-30\r\n"
                                                      "新料\t＋２\t\t\r\n"));
    click(w, 1);
    ASSERT_EQ(w.CmbCol.size(), 4);
    EXPECT_EQ(w.CmbCol[3]->currentText(), QStringLiteral("时间"));
    QAbstractItemModel* grid = w.Grid->model();
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->index(0, 2).data().toString(), QStringLiteral("+1000"));
    EXPECT_EQ(grid->index(1, 6).data().toString(),
              QStringLiteral("第3行：时间“2026-02-30”不是有效的日期时间"));
    EXPECT_FALSE(w.Cmd[2]->isEnabled());

    // The offending column left out, the lines are clean.
    w.CmbCol[3]->setCurrentIndex(static_cast<int>(Import::Field::Skip));
    EXPECT_EQ(w.LabInfo->text(), QStringLiteral("共3行：增加2行，合计1002；减少1行，合计5。"));
    ASSERT_TRUE(w.Cmd[2]->isEnabled());

    CurQx = QStringLiteral("1101111111111111");
    click(w, 2);
    EXPECT_EQ(shownTexts(), QStringList{QStringLiteral("对不起，您只能记录存量增加的账目！")});
    EXPECT_EQ(rows(), 0);

    CurQx = QString(16, QLatin1Char('1'));
    click(w, 2);
    EXPECT_EQ(shownTexts().last(), QStringLiteral("成功导入3条记录！"));
    EXPECT_EQ(RunSqlOne("select count(*) from Zhang where ZBID='" + kZb +
                        "' and USR='管理员' and TM='2026-12-06 10:00'"),
              QStringLiteral("3"));
    EXPECT_EQ(k->session()->items(), (QStringList{"钢管", "角钢", "新料"}));
    EXPECT_EQ(grid->rowCount(), 0);
    EXPECT_FALSE(w.Cmd[2]->isEnabled());
}

TEST_F(ImportWindow, AFileTooLargeOrNotTextIsRefusedBeforeItIsRead) {
    DrLst w(*k->session(), k);
    QFile big(sb.path("big.csv"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(50 * 1024 * 1024));
    big.close();
    QFile binary(sb.path("photo.txt"));
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    binary.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    binary.close();
    const QString good = sb.path("stock.csv");
    ASSERT_TRUE(appendCsvLines(good, {"物品,存量", "钢管,5", "角钢,3"}));

    for (const QString& path : {big.fileName(), binary.fileName(), QString()}) {
        Shell::setNextOpenFileName(path);
        click(w, 0);
    }
    EXPECT_EQ(shownTexts(), (QStringList{Import::tooLarge(), Import::notText()}));
    Shell::setNextOpenFileName(good);
    click(w, 0);
    EXPECT_EQ(w.Grid->model()->rowCount(), 2);
    EXPECT_TRUE(w.Cmd[2]->isEnabled());
}
