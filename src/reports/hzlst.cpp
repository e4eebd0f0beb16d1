#include "reports/hzlst.h"

#include "app/itemcompleter.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "db/sqlaccess.h"
#include "reports/drilldown.h"
#include "reports/pickers.h"
#include "reports/reportcommon.h"
#include "reports/reportwidgets.h"
#include "reports/summary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace MainBas;
using Report::tw;

HzLst::HzLst(LedgerSession& session, QWidget* parent) : QDialog(parent), session_(session) {
    setObjectName(QStringLiteral("HzLst"));
    setWindowTitle(Summary::caption(ItemName));
    const int year = QDate::fromString(GetSrvDate(), Qt::ISODate).year();
    Lab1 = new QLabel(this);
    Lab1->setObjectName(QStringLiteral("Lab1"));
    CmbItm = new QComboBox(this);
    CmbItm->setObjectName(QStringLiteral("CmbItm"));
    CmbItm->setEditable(true);
    CmbItm->setInsertPolicy(QComboBox::NoInsert);
    CmbItm->setCompleter(nullptr);
    ItemCompleter::attach(CmbItm);
    CmbGX1 = new QComboBox(this);
    CmbGX1->setObjectName(QStringLiteral("CmbGX1"));
    Cmb = new Report::DatePickers(this, QStringLiteral("Cmb"), year);
    Cmb2 = new Report::DatePickers(this, QStringLiteral("Cmb2"), year);
    Label2 = new QLabel(QStringLiteral("期初时间："), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label1[0] = new QLabel(QStringLiteral("期末截至："), this);
    Label1[0]->setObjectName(QStringLiteral("Label1_0"));
    Chk = new QCheckBox(Summary::hideZeroCaption(), this);
    Chk->setObjectName(QStringLiteral("Chk"));
    Chk->setChecked(true);
    const Report::CommandRow row = Report::makeCommandRow(
        this, QStringLiteral("返 回"), [this] { RunSummary(); }, [this] { ExportSummary(); });
    for (int i = 0; i < 3; ++i)
        Cmd[i] = row.cmd[i];
    print_ = ReportPrint::makeButtons(this, [this] { return shown_; });
    CmdPrint = print_.print;
    CmdPdf = print_.pdf;
    Lst = new Report::ReportList(this);
    CmdWait = Report::makeWaitBanner(this);
    connect(Lst, &Report::ReportList::doubleClickedRow, this, &HzLst::Lst_DblClick);
    placeControls();
    Form_Load();
}

void HzLst::placeControls() {
    auto* top = new QHBoxLayout;
    top->addWidget(Lab1);
    top->addWidget(CmbItm, 1);
    top->addWidget(CmbGX1);
    top->addSpacing(tw(300));
    top->addWidget(Chk);
    top->addStretch();
    auto* period = new QHBoxLayout;
    for (auto [label, pickers] : {std::pair{Label2, Cmb}, std::pair{Label1[0], Cmb2}}) {
        period->addWidget(label);
        for (int i = 0; i < 5; ++i)
            period->addWidget(pickers->part(i));
        period->addSpacing(tw(300));
    }
    period->addStretch();
    QHBoxLayout* buttons = Report::buttonRow({Cmd[0], Cmd[1], CmdPrint, CmdPdf, Cmd[2]});
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(period);
    all->addWidget(Lst, 1);
    all->addLayout(buttons);
    CmbItm->setMinimumWidth(tw(2400));
    // Wide enough for a whole table line beside the scroll bar.
    const QString rule = Summary::ruleLines(1).constFirst().text;
    resize(Lst->fontMetrics().horizontalAdvance(rule) + tw(900), tw(7800));
}

void HzLst::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Report::centreWait(CmdWait, Lst);
}

void HzLst::Form_Load() {
    Lab1->setText(ItemName + QStringLiteral("："));
    QStringList items;
    if (RunSql(Summary::itemListStatement(CurZbID)).toInt() > 0)
        items = ReportCommon::itemsFromRows();
    Report::fillItemChoices(CmbItm, ReportCommon::itemChoices(items, ItemName, true));
    CmbGX1->clear();
    CmbGX1->addItems({QStringLiteral("等于"), QStringLiteral("字符包含")});
    CmbGX1->setCurrentIndex(0);
    const QStringList today = Pickers::partsOf(GetSrvDate() + QStringLiteral(" 00:00"));
    for (int i : {Pickers::Year, Pickers::Month}) {
        Cmb->select(i, today[i]);
        Cmb2->select(i, today[i]);
    }
    Cmb->select(Pickers::Day, QStringLiteral("01"));
    Cmb2->select(Pickers::Day, today[Pickers::Day]);
    Cmb->select(Pickers::Hour, QStringLiteral("00"));
    Cmb2->select(Pickers::Hour, QStringLiteral("23"));
    Cmb->select(Pickers::Minute, QStringLiteral("00"));
    Cmb2->select(Pickers::Minute, QStringLiteral("59"));
    AddSummaryHeader();
    Lst->lines()->append(Summary::ruleLines(2));
    Lst->LastListIndex = -1;
}

void HzLst::AddSummaryHeader() {
    Lst->lines()->clear();
    Lst->lines()->append(Summary::header(ItemName, SlName));
    Cmd[1]->setEnabled(false);
    print_.setEnabled(false);
}

void HzLst::RunSummary() {
    const QString start = Cmb->stamp();
    const QString end = Cmb2->stamp();
    Report::showWait(CmdWait, Summary::readingWait());
    setEnabled(false);
    const QString n = RunSql(Summary::statement(CurZbID, start, end));
    setEnabled(true);
    CmdWait->hide();
    if (n.isEmpty()) {
        AddSummaryHeader();
        Lst->lines()->append(Summary::ruleLines(2));
        Msg::info(ReportCommon::queryFailed());
        return;
    }
    const QList<Summary::Row> all = Summary::rowsOf(SqlRows, SqlRowMax);
    if (all.isEmpty()) {
        AddSummaryHeader();
        Lst->lines()->append(Summary::ruleLines(2));
        Msg::info(Summary::noRecords());
        return;
    }
    const auto relation =
        CmbGX1->currentIndex() == 0 ? Summary::Relation::Equal : Summary::Relation::Contains;
    const Summary::Choice chosen = Summary::choose(all, CmbItm->currentText(), relation, ItemName);
    if (!chosen.message.isEmpty()) {
        Msg::info(chosen.message);
        return;
    }
    const QList<Summary::Row> shown = Summary::shownRows(chosen.rows, Chk->isChecked());
    AddSummaryHeader();
    Lst->lines()->append(Summary::body(shown));
    if (shown.isEmpty()) {
        Msg::info(Summary::noMatchingItem(ItemName));
        return;
    }
    Cmd[1]->setEnabled(true);
    shown_ = Summary::printable(shown, ItemName, SlName);
    shown_.filterLine = Summary::filterLine(start, end, CmbItm->currentText(), relation, ItemName,
                                            Chk->isChecked());
    print_.setEnabled(true);
}

void HzLst::ExportSummary() {
    DrillDown::exportLines(windowTitle(), Summary::exportLines(Lst->lines()->lines()));
}

void HzLst::Lst_DblClick(int row) {
    if (const auto request = journalFor(row))
        DrillDown::openJournal(session_, this, *request);
}

std::optional<DrillDown::JournalRequest> HzLst::journalFor(int row) {
    const QString item = row > 2 ? Lst->lines()->item(row) : QString();
    if (item.isEmpty())
        return std::nullopt;
    return DrillDown::JournalRequest{item, Cmb->texts(), Cmb2->texts()};
}
