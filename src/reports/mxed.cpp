#include "reports/mxed.h"

#include "admin/rights.h"
#include "app/clock.h"
#include "app/format.h"
#include "app/itemcompleter.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "app/twips.h"
#include "main_window/entry.h"
#include "reports/journal.h"
#include "reports/pickers.h"
#include "reports/reportcommon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>

using namespace MainBas;
using Report::tw;
using Twips::named;

namespace {

bool readIds(const QString& statement, QStringList* ids) {
    const QString n = RunSql(statement);
    if (n.isEmpty())
        return false;
    for (int i = 1; i <= n.toInt(); ++i)
        ids->append(SqlRows(i, 0));
    return true;
}

// The entry panel's label of the quantity box.
QString changeLabel() {
    return SlName + QStringLiteral("增减");
}

} // namespace

MxEd::MxEd(LedgerSession& session, QWidget* journal, MxEdJournal links, int edStu,
           const QString& caption)
    : QDialog(journal), EdStu(edStu), session_(session), links_(std::move(links)) {
    setObjectName(QStringLiteral("MxEd"));
    setWindowTitle(caption);
    Lab1 = named(new QLabel(this), QStringLiteral("Lab1"));
    CmbItm = named(new QComboBox(this), QStringLiteral("CmbItm"));
    CmbItm->setEditable(true);
    CmbItm->setInsertPolicy(QComboBox::NoInsert);
    CmbItm->setCompleter(nullptr);
    ItemCompleter::attach(CmbItm);
    Lab2 = named(new QLabel(this), QStringLiteral("Lab2"));
    TxtSL = named(new QLineEdit(this), QStringLiteral("TxtSL"));
    Lab3 = named(new QLabel(QStringLiteral("备注："), this), QStringLiteral("Lab3"));
    TxtBZ = named(new QLineEdit(this), QStringLiteral("TxtBZ"));
    Cmb = new Report::DatePickers(this, QStringLiteral("Cmb"), GetSrvDate().left(4).toInt());
    Cmb5 = named(new QComboBox(this), QStringLiteral("Cmb_5"));
    Cmb6 = named(new QComboBox(this), QStringLiteral("Cmb_6"));
    Cmb5->hide();
    Cmb6->hide();
    const QString captions[3] = {QStringLiteral("保 存"), QStringLiteral("取 消"),
                                 QStringLiteral("删除该记录")};
    for (int i = 0; i < 3; ++i) {
        Cmd[i] = named(new QPushButton(captions[i], this), QStringLiteral("Cmd_%1").arg(i));
        Cmd[i]->setAutoDefault(false);
        connect(Cmd[i], &QPushButton::clicked, this, [this, i] { Cmd_Click(i); });
    }
    Chk = named(new QCheckBox(MxEdRules::keepOpenCaption(), this), QStringLiteral("Chk"));
    Lab5 = named(new QLabel(this), QStringLiteral("Lab5"));
    Lab5->setStyleSheet(QStringLiteral("color: #2e7d32;"));
    Lab5->hide();
    LabTm = named(new QLabel(this), QStringLiteral("LabTm"));
    LabTm->setTextFormat(Qt::PlainText);
    LabTm->setWordWrap(true);
    LabTm->setStyleSheet(QStringLiteral("color: #c00000;"));
    LabTm->hide();
    FrmWait = named(new QFrame(this), QStringLiteral("FrmWait"));
    FrmWait->setAutoFillBackground(true);
    LabWait = named(new QLabel(QStringLiteral("请稍候 …"), FrmWait), QStringLiteral("LabWait"));
    LabWait->setAlignment(Qt::AlignCenter);

    Lab1->setGeometry(tw(240), tw(240), tw(2800), tw(300));
    CmbItm->setGeometry(tw(240), tw(540), tw(2800), tw(360));
    Lab2->setGeometry(tw(3240), tw(240), tw(1800), tw(300));
    TxtSL->setGeometry(tw(3240), tw(540), tw(1600), tw(360));
    Lab5->setGeometry(tw(5000), tw(540), tw(2000), tw(360));
    Lab3->setGeometry(tw(240), tw(1080), tw(800), tw(300));
    TxtBZ->setGeometry(tw(240), tw(1380), tw(6600), tw(360));
    const int widths[5] = {1000, 700, 700, 700, 700};
    int x = tw(240);
    for (int i = 0; i < 5; ++i) {
        Cmb->part(i)->setGeometry(x, tw(1980), tw(widths[i]), tw(360));
        x += tw(widths[i] + 60);
    }
    Chk->setGeometry(tw(240), tw(2520), tw(5000), tw(330));
    LabTm->setGeometry(tw(240), tw(2380), tw(6600), tw(600));
    // Moved by mode when the window shows; the delete button has the right edge to itself.
    Cmd[0]->setGeometry(tw(240), tw(3000), tw(1150), tw(450));
    Cmd[1]->setGeometry(tw(2640), tw(3000), tw(1150), tw(450));
    Cmd[2]->setGeometry(tw(5600), tw(3000), tw(1300), tw(450));
    setFixedSize(tw(7100), tw(3700));
    FrmWait->setGeometry(rect());
    LabWait->setGeometry(FrmWait->rect());

    CmbItm->installEventFilter(this);
    CmbItm->lineEdit()->installEventFilter(this);
    TxtSL->installEventFilter(this);
    TxtBZ->installEventFilter(this);
    connect(TxtSL, &QLineEdit::textChanged, this, &MxEd::TxtSL_Change);
    connect(CmbItm, &QComboBox::editTextChanged, Lab5, &QWidget::hide);
    connect(CmbItm, &QComboBox::activated, Lab5, &QWidget::hide);
    Form_Load();
}

void MxEd::Form_Load() {
    EditId.clear();
    Report::fillItemChoices(CmbItm, ReportCommon::itemChoices(session_.items(), ItemName, false));
    CmbItm->setEditText(QString());
    const QString today = GetSrvDate();
    const QTime now = QDateTime(Clock::now()).time();
    Cmb->select(Pickers::Year, today.left(4));
    Cmb->select(Pickers::Month, today.mid(5, 2));
    Cmb->select(Pickers::Day, today.mid(8, 2));
    Cmb->part(Pickers::Hour)->setCurrentIndex(now.hour());
    Cmb->part(Pickers::Minute)->setCurrentIndex(now.minute());
    for (int i = 0; i < 60; ++i)
        Cmb5->addItem(QString::number(i));
    for (int i = 0; i < 100; ++i)
        Cmb6->addItem(QString::number(i));
    Lab1->setText(ItemName + QStringLiteral("："));
    Lab2->setText(changeLabel() + QStringLiteral("："));
}

int MxEd::showModal() {
    // Modal from the first showing: exec() would not make an already visible window modal.
    setWindowModality(Qt::ApplicationModal);
    show();
    if (!Form_Activate())
        return QDialog::Rejected;
    return exec();
}

bool MxEd::Form_Activate() {
    if (EdStu == 1) {
        Cmd[0]->move(TxtBZ->x(), Cmd[0]->y());
        Cmd[1]->move(Cmb->part(Pickers::Hour)->x(), Cmd[1]->y());
        Cmd[2]->hide();
        Chk->show();
    } else {
        Cmd[0]->move(Cmb->part(Pickers::Day)->x(), Cmd[0]->y());
        Cmd[1]->move(tw(4305), Cmd[1]->y());
        Cmd[2]->show();
        Chk->hide();
    }
    FrmWait->show();
    FrmWait->raise();
    DoEvents();
    EditId = links_.selectedId;
    if (EditId.isEmpty()) {
        FrmWait->hide();
        return true;
    }
    const QString n = RunSql(MxEdRules::recordStatement(CurZbID, EditId));
    if (n.isEmpty() || n.toInt() <= 0) {
        if (EdStu == 1) {
            FrmWait->hide();
            return true;
        }
        if (n.isEmpty())
            Msg::info(MxEdRules::connectFailed());
        else
            Msg::info(MxEdRules::deletedMessage(parentWidget()->windowTitle()));
        reject();
        return false;
    }
    const QString tm = SqlRows(1, 0);
    const QStringList parts = Pickers::partsOf(tm);
    // A record whose time cannot be read opens with the pickers as they are; the warning says
    // that a save re-dates it.
    LabTm->setVisible(EdStu == 2 && parts.isEmpty());
    if (LabTm->isVisibleTo(this))
        LabTm->setText(MxEdRules::unreadableTime(tm));
    CmbItm->setEditText(SqlRows(1, 1));
    if (EdStu == 2) {
        TxtSL->setText(MxEdRules::changeTextOf(SqlRows(1, 2).toDouble()));
        TxtBZ->setText(SqlRows(1, 3));
    }
    if (!parts.isEmpty()) {
        Cmb->selectYear(parts.at(Pickers::Year).toInt());
        for (int i = Pickers::Month; i <= Pickers::Minute; ++i)
            Cmb->select(i, parts.at(i));
    }
    FrmWait->hide();
    return true;
}

void MxEd::Cmd_Click(int index) {
    if (index == 0) {
        if (EdStu == 1)
            SaveNewRecord();
        else
            SaveEditedRecord();
    } else if (index == 1) {
        reject();
    } else {
        DeleteRecord();
    }
}

bool MxEd::checked(MxEdRules::Checked* out) {
    *out = MxEdRules::check(
        {CmbItm->currentText(), TxtSL->text(), TxtBZ->text(), ItemName, changeLabel()});
    if (!out->item.isEmpty())
        CmbItm->setEditText(out->item);
    if (!out->changeText.isEmpty())
        TxtSL->setText(out->changeText);
    if (!out->accepted) {
        Msg::info(out->message, out->title);
        return false;
    }
    return true;
}

QString MxEd::NewRecIDAt() {
    MxEdRules::Stamp s;
    const QStringList t = Cmb->texts();
    s.year = t.at(Pickers::Year).toInt();
    s.month = t.at(Pickers::Month).toInt();
    s.day = t.at(Pickers::Day).toInt();
    s.hour = t.at(Pickers::Hour).toInt();
    s.minute = t.at(Pickers::Minute).toInt();
    s.second = Cmb5->currentIndex();
    s.hundredth = Cmb6->currentIndex();
    const QString id = MxEdRules::freeId(s, CurZbID, &readIds);
    Cmb->part(Pickers::Hour)->setCurrentIndex(s.hour);
    Cmb->part(Pickers::Minute)->setCurrentIndex(s.minute);
    Cmb5->setCurrentIndex(s.second);
    Cmb6->setCurrentIndex(s.hundredth);
    return id;
}

void MxEd::SaveNewRecord() {
    MxEdRules::Checked c;
    if (!checked(&c))
        return;
    const QString tm = Cmb->stamp();
    const QString id = NewRecIDAt();
    // The entry panel's save: a reply lost with its connection does not store the record twice.
    const Entry::Row row{CurZbID, CurUsr, QString(), c.item, c.remark, QTime(), c.value};
    if (id.isEmpty() || Entry::insertRow(row, tm, id) != QLatin1String("OK")) {
        Msg::info(ReportCommon::connectFailedRetry(), ReportCommon::hintTitle());
        return;
    }
    showSaved();
    DlgRet = c.item;
    if (!Chk->isChecked())
        accept();
    else
        CmbItm->setFocus();
}

void MxEd::showSaved() {
    Lab5->setText(MxEdRules::savedText(TxtSL->text()));
    Lab5->show();
    TxtSL->clear();
    TxtBZ->clear();
    AddItemToLists();
    DoEvents(7);
}

void MxEd::SaveEditedRecord() {
    MxEdRules::Checked c;
    if (!checked(&c))
        return;
    const QString tm = Cmb->stamp();
    const QString newId = NewRecIDAt();
    if (newId.isEmpty()) {
        Msg::info(ReportCommon::connectFailedRetry(), ReportCommon::hintTitle());
        return;
    }
    const QString stamp = GetSrvDate() + QLatin1Char(' ') + TimeStr();
    // One transaction: the record is never lost between the two, and of two operators editing
    // it only the first finds the row to retire.
    const QString result = RunSqlBatch({MxEdRules::retireEdited(newId, CurZbID, stamp, EditId),
                                        MxEdRules::insertStatement(CurZbID, CurUsr, tm, newId, c)},
                                       {1, -1});
    if (result == QLatin1String("ROWS"))
        return closeGone();
    if (result != QLatin1String("OK")) {
        Msg::info(ReportCommon::connectFailedRetry(), ReportCommon::hintTitle());
        return;
    }
    showSaved();
    links_.requery();
    accept();
}

void MxEd::DeleteRecord() {
    if (EdStu != 2) {
        Cmd[2]->hide();
        return;
    }
    if (!Report::requireRight(Rights::DeleteOne) || EditId.isEmpty())
        return;
    if (!Msg::askYesNo(Journal::askDeleteOne(), QMessageBox::Question))
        return;
    const QString stamp = GetSrvDate() + QLatin1Char(' ') + TimeStr();
    const QString result = RunSqlBatch({Journal::retireOne(CurUsr, CurZbID, stamp, EditId)}, {1});
    if (result == QLatin1String("ROWS"))
        return closeGone();
    if (result != QLatin1String("OK")) {
        Msg::info(ReportCommon::connectFailedRetry(), ReportCommon::hintTitle());
        return;
    }
    DoEvents();
    links_.requery();
    accept();
}

void MxEd::closeGone() {
    Msg::info(MxEdRules::deletedMessage(parentWidget()->windowTitle()));
    reject();
}

void MxEd::reject() {
    if (EdStu != 1)
        links_.editEnded();
    QDialog::reject();
}

void MxEd::AddItemToLists() {
    const QString item = CmbItm->currentText();
    if (CmbItm->findText(item, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
        return;
    CmbItm->addItem(item);
    session_.addItem(item);
    links_.itemAdded(item);
}

void MxEd::TxtSL_Change() {
    if (shaping_ || trimBlanks(TxtSL->text()).isEmpty())
        return;
    const Entry::Typed typed = Entry::shapeTyped(TxtSL->text(), TxtSL->cursorPosition());
    if (typed.text == TxtSL->text())
        return;
    shaping_ = true;
    TxtSL->setText(typed.text);
    TxtSL->setCursorPosition(typed.cursor);
    shaping_ = false;
}

bool MxEd::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && (watched == CmbItm || watched == CmbItm->lineEdit()))
        Lab5->hide();
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return QDialog::eventFilter(watched, event);
    if (watched == CmbItm || watched == CmbItm->lineEdit())
        TxtSL->setFocus();
    else if (watched == TxtSL)
        TxtBZ->setFocus();
    else if (watched == TxtBZ)
        Cmd_Click(0);
    else
        return QDialog::eventFilter(watched, event);
    return true;
}
