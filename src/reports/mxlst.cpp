#include "reports/mxlst.h"

#include "admin/rights.h"
#include "app/csv.h"
#include "app/format.h"
#include "app/itemcompleter.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "app/twips.h"
#include "db/secure.h"
#include "db/sqlaccess.h"
#include "reports/listnav.h"
#include "reports/mxed.h"
#include "reports/pickers.h"
#include "reports/reportcommon.h"
#include "reports/zstu.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace MainBas;
using Report::tw;
using Twips::named;

MxLst::MxLst(LedgerSession& session, QWidget* parent) : QDialog(parent), session_(session) {
    setObjectName(QStringLiteral("MxLst"));
    setWindowTitle(QStringLiteral("流水明细账"));
    const int year = GetSrvDate().left(4).toInt();
    Lab1 = named(new QLabel(this), QStringLiteral("Lab1"));
    CmbItm = named(new QComboBox(this), QStringLiteral("CmbItm"));
    CmbItm->setEditable(true);
    CmbItm->setInsertPolicy(QComboBox::NoInsert);
    CmbItm->setCompleter(nullptr);
    ItemCompleter::attach(CmbItm);
    CmbGX1 = named(new QComboBox(this), QStringLiteral("CmbGX1"));
    CmbSL = named(new QComboBox(this), QStringLiteral("CmbSL"));
    Lab2 = named(new QLabel(QStringLiteral("备注："), this), QStringLiteral("Lab2"));
    TxtBZ = named(new QLineEdit(this), QStringLiteral("TxtBZ"));
    Label3 = named(new QLabel(QStringLiteral("操作员："), this), QStringLiteral("Label3"));
    CmbUsr = named(new QComboBox(this), QStringLiteral("CmbUsr"));
    Label4 = named(new QLabel(QStringLiteral("排序："), this), QStringLiteral("Label4"));
    CmbSort = named(new QComboBox(this), QStringLiteral("CmbSort"));
    Label2 = named(new QLabel(QStringLiteral("时段："), this), QStringLiteral("Label2"));
    Cmb = new Report::DatePickers(this, QStringLiteral("Cmb"), year);
    Cmb2 = new Report::DatePickers(this, QStringLiteral("Cmb2"), year);
    Lst = new Report::ReportList(this);
    CmdWait = Report::makeWaitBanner(this);
    const QString captions[7] = {QStringLiteral("统 计"),    QStringLiteral("导出Excel"),
                                 QStringLiteral("返 回"),    QStringLiteral("漏账补录"),
                                 QStringLiteral("修改账目"), QStringLiteral("删除错账"),
                                 QStringLiteral("批量删除")};
    for (int i = 0; i < 7; ++i) {
        Cmd[i] = named(new QPushButton(captions[i], this), QStringLiteral("Cmd_%1").arg(i));
        Cmd[i]->setAutoDefault(false);
        connect(Cmd[i], &QPushButton::clicked, this, [this, i] { Cmd_Click(i); });
    }
    print_ = ReportPrint::makeButtons(this, [this] { return printable(); });
    CmdPrint = print_.print;
    CmdPdf = print_.pdf;
    CmdChart = named(new QPushButton(QStringLiteral("走势图"), this), QStringLiteral("CmdChart"));
    CmdChart->setAutoDefault(false);
    connect(CmdChart, &QPushButton::clicked, this, &MxLst::showChart);
    connect(Lst, &Report::ReportList::doubleClickedRow, this, &MxLst::Lst_DblClick);

    // Two rows of filters above the list, the command row below it.
    const int top = tw(120), row2 = tw(600);
    Lab1->setGeometry(tw(150), top, tw(900), tw(360));
    CmbItm->setGeometry(tw(1050), top, tw(2400), tw(360));
    CmbGX1->setGeometry(tw(3500), top, tw(900), tw(360));
    CmbSL->setGeometry(tw(4500), top, tw(900), tw(360));
    Lab2->setGeometry(tw(5550), top, tw(700), tw(360));
    TxtBZ->setGeometry(tw(6250), top, tw(1800), tw(360));
    Label3->setGeometry(tw(8200), top, tw(1000), tw(360));
    CmbUsr->setGeometry(tw(9200), top, tw(1500), tw(360));
    Label4->setGeometry(tw(10850), top, tw(700), tw(360));
    CmbSort->setGeometry(tw(11550), top, tw(1000), tw(360));
    Label2->setGeometry(tw(150), row2, tw(900), tw(360));
    const int widths[5] = {1000, 700, 700, 700, 700};
    int x = tw(1050);
    for (int i = 0; i < 5; ++i) {
        Cmb->part(i)->setGeometry(x, row2, tw(widths[i]), tw(360));
        x += tw(widths[i] + 40);
    }
    auto* dash = new QLabel(QStringLiteral("—"), this);
    dash->setGeometry(x, row2, tw(300), tw(360));
    x += tw(340);
    for (int i = 0; i < 5; ++i) {
        Cmb2->part(i)->setGeometry(x, row2, tw(widths[i]), tw(360));
        x += tw(widths[i] + 40);
    }
    x += tw(200);
    for (QPushButton* b : {CmdPrint, CmdPdf, CmdChart}) {
        b->setGeometry(x, row2, tw(1700), tw(360));
        x += tw(1800);
    }
    Lst->setGeometry(tw(150), tw(1080), tw(15300), tw(7400));
    CmdWait->setGeometry(tw(4500), tw(4200), tw(6000), tw(600));
    for (int i = 0; i < 7; ++i)
        Cmd[i]->setGeometry(tw(150 + i * 2200), tw(8640), tw(2000), tw(450));
    setFixedSize(tw(15600), tw(9300));
    Form_Load();
}

void MxLst::Form_Load() {
    Lab1->setText(ItemName + QStringLiteral("："));
    Report::fillItemChoices(CmbItm, ReportCommon::itemChoices(session_.items(), ItemName, true));
    CmbGX1->addItems({QStringLiteral("等于"), QStringLiteral("包含")});
    CmbSL->addItems({QStringLiteral("增减"), QStringLiteral("增加"), QStringLiteral("减少")});
    CmbUsr->addItem(QString());
    CmbUsr->addItems(session_.operators());
    CmbUsr->setCurrentIndex(0);
    CmbSort->addItems({ItemName, QStringLiteral("时间"), QStringLiteral("数值")});
    const QString today = GetSrvDate();
    const QString y = today.left(4), m = today.mid(5, 2), d = today.mid(8, 2);
    const QStringList start = {y, m, QStringLiteral("01"), QStringLiteral("00"),
                               QStringLiteral("00")};
    const QStringList end = {y, m, d, QStringLiteral("23"), QStringLiteral("59")};
    for (int i = 0; i < 5; ++i) {
        Cmb->select(i, start.at(i));
        Cmb2->select(i, end.at(i));
    }
    ShowBalance = true;
    AddJournalHeader();
    AddRuleLine(2);
    Lst->LastListIndex = -1;
}

void MxLst::setExactItem(const QString& item) {
    exactItem_ = item;
    CmbItm->setEditText(item);
}

Journal::Filter MxLst::filter() const {
    Journal::Filter f;
    f.from = Cmb->texts();
    f.to = Cmb2->texts();
    f.item = CmbItm->currentText();
    f.exactItem = f.item == exactItem_ ||
                  CmbItm->findText(f.item, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
    f.relation = CmbGX1->currentIndex();
    f.sign = CmbSL->currentIndex();
    f.remark = TxtBZ->text();
    f.usr = CmbUsr->currentIndex() > 0 ? CmbUsr->currentText() : QString();
    f.sort = CmbSort->currentIndex();
    return f;
}

QStringList MxLst::listedIds() const {
    QStringList ids;
    for (const ReportLine& l : Lst->lines()->lines())
        if (!l.id.isEmpty())
            ids.append(l.id);
    return ids;
}

void MxLst::AddJournalHeader() {
    ReportLines* lines = Lst->lines();
    lines->clear();
    lines->append(Journal::header({ItemName, SlName}, ShowBalance));
    for (int i : {1, 4, 5, 6})
        Cmd[i]->setEnabled(false);
    print_.setEnabled(false);
    shown_ = {};
    enableChart();
}

void MxLst::AddRuleLine(int kind) {
    Lst->lines()->append(Journal::ruleLines(kind, ShowBalance));
}

void MxLst::busy(bool on) {
    if (on) {
        Cmd[0]->setEnabled(false);
        setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        CmdWait->hide();
        QApplication::restoreOverrideCursor();
        setEnabled(true);
        Cmd[0]->setEnabled(true);
    }
}

void MxLst::endEmpty(const QString& message, const QString& title) {
    AddRuleLine(2);
    busy(false);
    Msg::info(message, title);
}

void MxLst::QueryAll() {
    const Journal::Filter f = filter();
    ShowBalance = Journal::build(CurZbID, ItemName, f).showBalance;
    Report::showWait(CmdWait, QStringLiteral("正在读取数据，请稍候……"));
    AddJournalHeader();
    busy(true);
    const bool balance = ShowBalance;
    Journal::Listing l = Journal::list(CurZbID, ItemName, f, [&](int i, const QString& item) {
        CmdWait->setText(balance ? QStringLiteral("正在统计【") + item + QStringLiteral("】……")
                                 : QStringLiteral("正在读入第 %1 行……").arg(i));
        DoEvents();
    });
    if (l.status == Journal::Listing::Failed)
        return endEmpty(ReportCommon::queryFailed(), ReportCommon::hintTitle());
    if (l.status == Journal::Listing::Empty)
        return endEmpty(ReportCommon::noData(), QString());
    Lst->lines()->append(std::move(l.body));
    shown_ = std::move(l);
    shownFilter_ = f;
    for (int i : {1, 4, 5, 6})
        Cmd[i]->setEnabled(true);
    print_.setEnabled(true);
    enableChart();
    busy(false);
}

Print::Printable MxLst::printable() const {
    Print::Printable p = Journal::printable(shown_, {ItemName, SlName});
    p.filterLine = Journal::filterLine(shownFilter_, ItemName);
    return p;
}

void MxLst::enableChart() {
    // A disabled button says why, so nobody has to guess which filter stands in the way.
    const QString why = Chart::noChartReason(shownFilter_, {ItemName, SlName}, shown_);
    CmdChart->setEnabled(why.isEmpty());
    CmdChart->setToolTip(why);
}

void MxLst::showChart() {
    const QString item = Chart::chartItem(shownFilter_, ItemName, shown_);
    if (item.isEmpty())
        return;
    ZsTu chart(Chart::series(shown_, item, shownFilter_), this);
    chart.exec();
}

void MxLst::Cmd_Click(int index) {
    if ((index == 1 && !Report::requireRight(Rights::Export)) ||
        (index >= 3 && !Report::requireRight(index + 7)))
        return;
    switch (index) {
    case 0:
        QueryAll();
        break;
    case 1:
        ExportJournal();
        break;
    case 2:
        close();
        break;
    case 3:
        lateRecord();
        break;
    case 4:
        editRecord();
        break;
    case 5: {
        const int at = Lst->selected();
        if (at > 1 && !Lst->lines()->id(at).isEmpty()) {
            DeleteSelectedRow();
            RestoreSelection();
        } else {
            Msg::info(Journal::selectToDelete());
        }
        break;
    }
    default:
        DeleteAllListed();
        break;
    }
}

void MxLst::lateRecord() {
    Cmd[3]->setEnabled(false);
    DlgRet.clear();
    {
        const auto ed = editor(1, QStringLiteral("漏账补录"));
        DoEvents();
        ed->showModal();
    }
    setEnabled(false);
    if (!DlgRet.isEmpty()) {
        // The list shows the item just recorded; the other filters stay as they were.
        CmbGX1->setCurrentIndex(0);
        CmbItm->setEditText(DlgRet);
        TxtBZ->clear();
        CmbUsr->setCurrentIndex(0);
        setEnabled(true);
        QueryAll();
    }
    setEnabled(true);
    Cmd[3]->setEnabled(true);
}

void MxLst::editRecord() {
    const int at = Lst->selected();
    if (at < 2 || Lst->lines()->id(at).isEmpty()) {
        Msg::info(Journal::selectToEdit());
        return;
    }
    Cmd[4]->setEnabled(false);
    { editor(2, QStringLiteral("修改账目"))->showModal(); }
    RestoreSelection();
}

std::unique_ptr<MxEd> MxLst::editor(int edStu, const QString& caption) {
    MxEdJournal links;
    links.selectedId = Lst->lines()->id(Lst->selected());
    links.requery = [this] { QueryAll(); };
    links.editEnded = [this] { Cmd[4]->setEnabled(true); };
    links.itemAdded = [this](const QString& item) { CmbItm->addItem(item); };
    return std::make_unique<MxEd>(session_, this, std::move(links), edStu, caption);
}

void MxLst::Lst_DblClick(int row) {
    if (row >= 0 && !Lst->lines()->id(row).isEmpty())
        Cmd_Click(4);
}

void MxLst::RestoreSelection() {
    ReportLines* lines = Lst->lines();
    const int k = ListNav::restoreTarget(Lst->selected(), Lst->LastListIndex, lines->count(),
                                         [lines](int i) { return lines->text(i); });
    if (k >= 0)
        Lst->selectRow(k);
}

void MxLst::ExportJournal() {
    if (!Lst->lines()->hasRecords()) {
        Msg::info(Journal::nothingToExport());
        return;
    }
    const QString path = SaveCsvDialog(windowTitle());
    if (path.isEmpty())
        return;
    QString error;
    if (!appendCsvLines(path, Journal::exportLines(Lst->lines()->lines()), &error)) {
        Msg::info(error, QStringLiteral("导出失败"));
        return;
    }
    if (Msg::box(Journal::exportDone(), QMessageBox::Information, QString(),
                 QMessageBox::Yes | QMessageBox::No) != QMessageBox::No)
        OpenExportedFile(path);
}

void MxLst::DeleteSelectedRow() {
    const QString id = Lst->lines()->id(Lst->selected());
    if (!Msg::askYesNo(Journal::askDeleteOne(), QMessageBox::Question))
        return;
    Cmd[5]->setEnabled(false);
    const QString stamp = GetSrvDate() + QLatin1Char(' ') + TimeStr();
    if (RunSql(Journal::retireOne(CurUsr, CurZbID, stamp, id)) != QLatin1String("OK")) {
        Msg::info(ReportCommon::connectFailedRetry(), ReportCommon::hintTitle());
        return;
    }
    DoEvents();
    QueryAll();
}

bool MxLst::confirmWithStoredPassword() {
    const QString readPwd = Journal::passwordStatement(CurZbID, CurUsr);
    const QString n = RunSql(readPwd);
    if (n.isEmpty()) {
        Msg::info(ReportCommon::connectFailedRetry(), ReportCommon::hintTitle());
        return false;
    }
    const QString pwd = SqlRows(1, 0);
    if (!pwd.isEmpty()) {
        QString typed;
        if (!Msg::input(Journal::passwordPrompt(), QStringLiteral("警告"), typed, true) ||
            typed.isEmpty())
            return false;
        if (typed != pwd) {
            Msg::info(Journal::wrongPassword());
            return false;
        }
    } else {
        if (Msg::box(Journal::confirmPrompt(), QMessageBox::Warning, QStringLiteral("警告"),
                     QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
            return false;
        // An empty first answer may have come from a failed read: it must not skip the password.
        if (RunSql(readPwd).isEmpty() || !SqlRows(1, 0).isEmpty()) {
            Msg::info(Journal::networkCancelled());
            return false;
        }
    }
    return true;
}

// Nobody reads a password on a secure server: the typed one is tried as a login of its own.
bool MxLst::confirmOnSecureServer() {
    const QString role = Db::operatorRole(CurZbID, CurUsr);
    const Db::LoginCheck open = Db::checkLogin(role, Db::noPasswordText(CurZbID, CurUsr));
    if (open == Db::LoginCheck::Unreachable) {
        Msg::info(ReportCommon::connectFailedRetry(), ReportCommon::hintTitle());
        return false;
    }
    if (open == Db::LoginCheck::Accepted)
        return Msg::box(Journal::confirmPrompt(), QMessageBox::Warning, QStringLiteral("警告"),
                        QMessageBox::Ok | QMessageBox::Cancel,
                        QMessageBox::Cancel) == QMessageBox::Ok;
    QString typed;
    if (!Msg::input(Journal::passwordPrompt(), QStringLiteral("警告"), typed, true) ||
        typed.isEmpty())
        return false;
    const Db::LoginCheck check = Db::checkLogin(role, typed);
    if (check == Db::LoginCheck::Refused)
        Msg::info(Journal::wrongPassword());
    else if (check == Db::LoginCheck::Unreachable)
        Msg::info(Journal::networkCancelled());
    return check == Db::LoginCheck::Accepted;
}

void MxLst::DeleteAllListed() {
    const QStringList ids = listedIds();
    if (ids.isEmpty()) {
        Msg::info(Journal::nothingToDelete());
        return;
    }
    if (!(Db::isSecureServer() ? confirmOnSecureServer() : confirmWithStoredPassword()))
        return;
    Cmd[6]->setEnabled(false);
    Report::showWait(CmdWait, QStringLiteral("正在删除数据，请稍候……"));
    const QString stamp = GetSrvDate() + QLatin1Char(' ') + TimeStr();
    busy(true);
    // All or nothing: one transaction, a few hundred ids per statement.
    const QString result = RunSqlBatch(Journal::retireAll(CurUsr, CurZbID, stamp, ids));
    busy(false);
    if (result != QLatin1String("OK")) {
        Cmd[6]->setEnabled(true);
        Msg::info(ReportCommon::connectFailedRetry(), ReportCommon::hintTitle());
        return;
    }
    DoEvents();
    AddJournalHeader();
    AddRuleLine(2);
    DoEvents();
    Msg::info(Journal::batchDone());
}
