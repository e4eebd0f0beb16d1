#include "reports/kclst.h"

#include "app/format.h"
#include "app/itemcompleter.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "db/sqlaccess.h"
#include "reports/balance.h"
#include "reports/drilldown.h"
#include "reports/pickers.h"
#include "reports/reportcommon.h"
#include "reports/reportwidgets.h"

#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace MainBas;
using Report::tw;

KcLst::KcLst(LedgerSession& session, QWidget* parent) : QDialog(parent), session_(session) {
    setObjectName(QStringLiteral("KcLst"));
    setWindowTitle(Balance::caption(ItemName, SlName));
    Lab1 = new QLabel(this);
    Lab1->setObjectName(QStringLiteral("Lab1"));
    Lab2 = new QLabel(this);
    Lab2->setObjectName(QStringLiteral("Lab2"));
    Cmb = new QComboBox(this);
    Cmb->setObjectName(QStringLiteral("Cmb"));
    Cmb->setEditable(true);
    Cmb->setInsertPolicy(QComboBox::NoInsert);
    Cmb->setCompleter(nullptr);
    ItemCompleter::attach(Cmb);
    CmbGX1 = new QComboBox(this);
    CmbGX1->setObjectName(QStringLiteral("CmbGX1"));
    CmbGX2 = new QComboBox(this);
    CmbGX2->setObjectName(QStringLiteral("CmbGX2"));
    Txt = new QLineEdit(this);
    Txt->setObjectName(QStringLiteral("Txt"));
    const Report::CommandRow row = Report::makeCommandRow(
        this, QStringLiteral("返回上层"), [this] { RunBalanceList(); },
        [this] { ExportBalanceList(); });
    for (int i = 0; i < 3; ++i)
        Cmd[i] = row.cmd[i];
    print_ = ReportPrint::makeButtons(this, [this] { return shown_; });
    CmdPrint = print_.print;
    CmdPdf = print_.pdf;
    Lst = new Report::ReportList(this);
    CmdWait = Report::makeWaitBanner(this);
    connect(Lst, &Report::ReportList::doubleClickedRow, this, &KcLst::Lst_DblClick);
    connect(Txt, &QLineEdit::returnPressed, this, &KcLst::RunBalanceList);
    placeControls();
    Form_Load();
}

void KcLst::placeControls() {
    auto* filters = new QHBoxLayout;
    filters->addWidget(Lab1);
    filters->addWidget(CmbGX1);
    filters->addWidget(Cmb, 1);
    filters->addSpacing(tw(300));
    filters->addWidget(Lab2);
    filters->addWidget(CmbGX2);
    filters->addWidget(Txt);
    QHBoxLayout* buttons = Report::buttonRow({Cmd[0], Cmd[1], CmdPrint, CmdPdf, Cmd[2]});
    auto* all = new QVBoxLayout(this);
    all->addLayout(filters);
    all->addWidget(Lst, 1);
    all->addLayout(buttons);
    Cmb->setMinimumWidth(tw(2400));
    Txt->setFixedWidth(tw(1200));
    const QString rule = Balance::ruleLines(1).constFirst().text;
    resize(std::max(Lst->fontMetrics().horizontalAdvance(rule) + tw(900), tw(8200)), tw(7800));
}

void KcLst::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Report::centreWait(CmdWait, Lst);
}

void KcLst::Form_Load() {
    Lab1->setText(ItemName);
    Lab2->setText(SlName);
    Report::fillItemChoices(Cmb, ReportCommon::itemChoices(session_.items(), ItemName, true));
    CmbGX1->clear();
    CmbGX1->addItems({QStringLiteral("等于"), QStringLiteral("字符包含")});
    CmbGX1->setCurrentIndex(0);
    CmbGX2->clear();
    CmbGX2->addItems({QStringLiteral("大于"), QStringLiteral("小于"), QStringLiteral("等于")});
    CmbGX2->setCurrentIndex(0);
    Txt->setText(QStringLiteral("0"));
    AddBalanceHeader();
    Lst->lines()->append(Balance::ruleLines(2));
}

void KcLst::AddBalanceHeader() {
    Lst->lines()->clear();
    Lst->LastListIndex = -1;
    Lst->lines()->append(Balance::header(ItemName, SlName));
    Cmd[1]->setEnabled(false);
    print_.setEnabled(false);
}

void KcLst::RunBalanceList() {
    const Balance::ValueFilter value = Balance::valueFilterOf(Txt->text());
    if (value.active)
        Txt->setText(value.text);
    const QString item = Balance::itemFilterText(Cmb->currentText(), ItemName);
    const auto relation = CmbGX1->currentIndex() == 0 ? Balance::ItemRelation::Equal
                                                      : Balance::ItemRelation::Contains;
    const QString statement = Balance::statement(CurZbID, item, relation);
    Report::showWait(CmdWait, Balance::readingWait());
    setEnabled(false);
    const QString n = RunSql(statement);
    setEnabled(true);
    AddBalanceHeader();
    CmdWait->hide();
    if (n.isEmpty()) {
        Lst->lines()->append(Balance::ruleLines(2));
        Msg::info(ReportCommon::queryFailed());
        return;
    }
    if (n.toInt() == 0) {
        Lst->lines()->append(Balance::emptyBody());
        Msg::info(Balance::noData());
        return;
    }
    const auto valueRelation = static_cast<Balance::ValueRelation>(CmbGX2->currentIndex());
    const QList<Balance::Row> kept = Balance::keptRows(SqlRows, SqlRowMax, value, valueRelation);
    Lst->lines()->append(Balance::body(kept));
    Cmd[1]->setEnabled(true);
    shown_ = Balance::printable(kept, ItemName, SlName);
    shown_.filterLine = Balance::filterLine(item, relation, value, valueRelation, ItemName, SlName);
    print_.setEnabled(true);
}

void KcLst::ExportBalanceList() {
    if (Lst->lines()->count() == 0) {
        Msg::info(Balance::exportFirst());
        return;
    }
    DrillDown::exportLines(windowTitle(), Balance::exportLines(Lst->lines()->lines()));
}

void KcLst::Lst_DblClick(int row) {
    if (const auto request = journalFor(row))
        DrillDown::openJournal(session_, this, *request);
}

std::optional<DrillDown::JournalRequest> KcLst::journalFor(int row) {
    const QString item = row > 2 ? Lst->lines()->item(row) : QString();
    if (item.isEmpty())
        return std::nullopt;
    const QString n = RunSql(Balance::latestTimeStatement(CurZbID, item));
    if (n.isEmpty()) {
        Msg::info(ReportCommon::connectFailedRetry());
        return std::nullopt;
    }
    QString last = SqlRows(1, 0);
    if (n.toInt() == 0 || last.isEmpty())
        return std::nullopt;
    const QDateTime latest = ParseDate(last);
    // The journal's own default period: the first of this month to today 23:59.
    const QDate today = QDate::fromString(GetSrvDate(), Qt::ISODate);
    const Balance::Period byDefault{QDateTime(QDate(today.year(), today.month(), 1), QTime(0, 0)),
                                    QDateTime(today, QTime(23, 59))};
    const Balance::Period p = Balance::journalPeriod(latest, byDefault);
    const QString layout = QStringLiteral("yyyy-MM-dd HH:mm");
    return DrillDown::JournalRequest{item, Pickers::partsOf(p.start.toString(layout)),
                                     Pickers::partsOf(p.end.toString(layout))};
}
