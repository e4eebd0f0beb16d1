#include "reports/shlst.h"

#include "admin/rights.h"
#include "app/format.h"
#include "app/itemcompleter.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "db/sqlaccess.h"
#include "reports/drilldown.h"
#include "reports/journal.h"
#include "reports/pickers.h"
#include "reports/reportcommon.h"
#include "reports/reportwidgets.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace MainBas;
using Report::tw;

ShLst::ShLst(LedgerSession& session, QWidget* parent) : QDialog(parent), session_(session) {
    setObjectName(QStringLiteral("ShLst"));
    setWindowTitle(Audit::caption());
    const int year = GetSrvDate().left(4).toInt();
    Label2 = new QLabel(QStringLiteral("时段："), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Cmb = new Report::DatePickers(this, QStringLiteral("Cmb"), year);
    Cmb2 = new Report::DatePickers(this, QStringLiteral("Cmb2"), year);
    Lab1 = new QLabel(this);
    Lab1->setObjectName(QStringLiteral("Lab1"));
    CmbItm = new QComboBox(this);
    CmbItm->setObjectName(QStringLiteral("CmbItm"));
    CmbItm->setEditable(true);
    CmbItm->setInsertPolicy(QComboBox::NoInsert);
    CmbItm->setCompleter(nullptr);
    ItemCompleter::attach(CmbItm);
    Label3 = new QLabel(QStringLiteral("处理人："), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    CmbUsr = new QComboBox(this);
    CmbUsr->setObjectName(QStringLiteral("CmbUsr"));
    Lst = new Report::ReportList(this);
    CmdWait = Report::makeWaitBanner(this);
    const Report::CommandRow row = Report::makeCommandRow(
        this, QStringLiteral("返 回"), [this] { QueryAll(); }, [this] { ExportAudit(); });
    for (int i = 0; i < 3; ++i)
        Cmd[i] = row.cmd[i];
    Cmd[3] = new QPushButton(QStringLiteral("恢复记录"), this);
    Cmd[3]->setObjectName(QStringLiteral("Cmd_3"));
    connect(Cmd[3], &QPushButton::clicked, this, &ShLst::RestoreRecord);
    print_ = ReportPrint::makeButtons(this, [this] { return shown_; });
    CmdPrint = print_.print;
    CmdPdf = print_.pdf;
    for (QPushButton* b : Cmd)
        b->setAutoDefault(false);
    placeControls();
    Form_Load();
}

void ShLst::placeControls() {
    auto* period = new QHBoxLayout;
    period->addWidget(Label2);
    for (int i = 0; i < 5; ++i)
        period->addWidget(Cmb->part(i));
    period->addWidget(new QLabel(QStringLiteral("—"), this));
    for (int i = 0; i < 5; ++i)
        period->addWidget(Cmb2->part(i));
    period->addStretch();
    auto* filters = new QHBoxLayout;
    filters->addWidget(Lab1);
    filters->addWidget(CmbItm);
    filters->addSpacing(tw(300));
    filters->addWidget(Label3);
    filters->addWidget(CmbUsr);
    filters->addStretch();
    QHBoxLayout* buttons = Report::buttonRow({Cmd[0], Cmd[1], CmdPrint, CmdPdf, Cmd[3], Cmd[2]});
    auto* all = new QVBoxLayout(this);
    all->addLayout(period);
    all->addLayout(filters);
    all->addWidget(Lst, 1);
    all->addLayout(buttons);
    CmbItm->setMinimumWidth(tw(2400));
    CmbUsr->setMinimumWidth(tw(1500));
    // Wide enough for a whole table line beside the scroll bar.
    const QString rule = Audit::ruleLines(1).constFirst().text;
    resize(Lst->fontMetrics().horizontalAdvance(rule) + tw(900), tw(7800));
}

void ShLst::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Report::centreWait(CmdWait, Lst);
}

void ShLst::Form_Load() {
    Lab1->setText(ItemName + QStringLiteral("："));
    Report::fillItemChoices(CmbItm, ReportCommon::itemChoices(session_.items(), ItemName, true));
    CmbUsr->addItem(QString());
    CmbUsr->addItems(session_.operators());
    CmbUsr->setCurrentIndex(0);
    // Retired from the first of the month, 00:00, to today, 23:59.
    const QStringList today = Pickers::partsOf(GetSrvDate() + QStringLiteral(" 00:00"));
    const QStringList start = {today.value(0), today.value(1), QStringLiteral("01"),
                               QStringLiteral("00"), QStringLiteral("00")};
    const QStringList end = {today.value(0), today.value(1), today.value(2), QStringLiteral("23"),
                             QStringLiteral("59")};
    for (int i = 0; i < 5; ++i) {
        Cmb->select(i, start.at(i));
        Cmb2->select(i, end.at(i));
    }
    AddHeader();
    Lst->lines()->append(Audit::ruleLines(2));
    Lst->LastListIndex = -1;
}

void ShLst::AddHeader() {
    Lst->lines()->clear();
    Lst->lines()->append(Audit::header(ItemName));
    entries_.clear();
    Cmd[1]->setEnabled(false);
    Cmd[3]->setEnabled(false);
    print_.setEnabled(false);
}

Audit::Filter ShLst::filter() const {
    Audit::Filter f;
    f.from = Cmb->texts();
    f.to = Cmb2->texts();
    // An item of the list is matched as stored; a typed one as the entry panel would store it.
    const QString typed = CmbItm->currentText();
    const bool listed = CmbItm->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
    const QString item = listed ? typed : CleanStr(typed);
    if (item != ReportCommon::allItems(ItemName))
        f.item = item;
    f.usr = CmbUsr->currentIndex() > 0 ? CmbUsr->currentText() : QString();
    return f;
}

void ShLst::endEmpty(const QString& message, const QString& title) {
    Lst->lines()->append(Audit::ruleLines(2));
    Msg::info(message, title);
}

void ShLst::QueryAll() {
    const Audit::Filter f = filter();
    Report::showWait(CmdWait, QStringLiteral("正在读取数据，请稍候……"));
    AddHeader();
    setEnabled(false);
    Audit::Listing l = Audit::list(CurZbID, f);
    setEnabled(true);
    CmdWait->hide();
    if (l.status == Audit::Listing::Failed)
        return endEmpty(ReportCommon::connectFailedRetry(), ReportCommon::hintTitle());
    if (l.status == Audit::Listing::Empty)
        return endEmpty(ReportCommon::noData(), QString());
    Lst->lines()->append(std::move(l.body));
    entries_ = std::move(l.entries);
    shown_ = Audit::printable(entries_, ItemName);
    shown_.filterLine = Audit::filterLine(f, ItemName);
    Cmd[1]->setEnabled(true);
    Cmd[3]->setEnabled(true);
    print_.setEnabled(true);
}

const Audit::Entry* ShLst::entryAt(int row) const {
    const ReportLines* lines = Lst->lines();
    if (row < 0 || lines->id(row).isEmpty())
        return nullptr;
    int k = 0;
    for (int i = 0; i < row; ++i)
        if (!lines->id(i).isEmpty())
            ++k;
    return k < entries_.size() ? &entries_.at(k) : nullptr;
}

void ShLst::ExportAudit() {
    if (!Lst->lines()->hasRecords()) {
        Msg::info(Journal::nothingToExport());
        return;
    }
    DrillDown::exportLines(windowTitle(), Journal::exportLines(Lst->lines()->lines()));
}

void ShLst::RestoreRecord() {
    if (!Report::requireRight(Rights::Admin))
        return;
    const Audit::Entry* at = entryAt(Lst->selected());
    if (!at) {
        Msg::info(Audit::selectToRestore());
        return;
    }
    const Audit::Entry e = *at;
    if (e.edited) {
        Msg::info(Audit::replacedMessage(e));
        return;
    }
    if (!Msg::askYesNo(Audit::askRestore(), QMessageBox::Question))
        return;
    switch (Audit::restore(CurZbID, e)) {
    case Audit::Restore::Done:
        Msg::info(Audit::restoredText());
        QueryAll();
        break;
    case Audit::Restore::AlreadyRestored:
        Msg::info(Audit::alreadyRestored());
        break;
    case Audit::Restore::IdTaken:
        Msg::info(Audit::idTaken());
        break;
    case Audit::Restore::OtherLedger:
        Msg::info(Audit::otherLedger());
        break;
    default:
        Msg::info(ReportCommon::connectFailedRetry(), ReportCommon::hintTitle());
        break;
    }
}
