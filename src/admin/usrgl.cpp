#include "admin/usrgl.h"

#include "admin/rights.h"
#include "admin/usrglrules.h"
#include "app/format.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/twips.h"
#include "db/secure.h"
#include "db/sqlaccess.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

using namespace MainBas;
using Twips::indexed;
using Twips::place;
namespace R = UsrGLRules;

namespace {

const QString kOK = QStringLiteral("OK");

} // namespace

UsrGL::UsrGL(LedgerSession& session, QWidget* parent) : QDialog(parent), session_(session) {
    setObjectName(QStringLiteral("UsrGL"));
    setWindowTitle(R::caption());
    setModal(true);
    createControls();
    placeControls();
    Form_Load();
}

void UsrGL::createControls() {
    Lst = new QListWidget(this);
    Lst->setObjectName(QStringLiteral("Lst"));
    LstQx = new QListWidget(this);
    LstQx->setObjectName(QStringLiteral("LstQx"));
    LstQx->hide();
    LabZB = new QLabel(this);
    LabZB->setObjectName(QStringLiteral("LabZB"));
    LabZB->setTextFormat(Qt::PlainText); // the ledger name comes from the server
    Lab = new QLabel(R::operatorLabel(), this);
    Lab->setObjectName(QStringLiteral("Lab"));
    Txt = new QLineEdit(this);
    Txt->setObjectName(QStringLiteral("Txt"));
    Txt->setEnabled(false);
    for (int k = 0; k < R::kBoxCount; ++k) {
        Chk[k] = new QCheckBox(R::boxCaption(k), this);
        Chk[k]->setObjectName(indexed("Chk", k));
        Chk[k]->installEventFilter(this);
        connect(Chk[k], &QCheckBox::clicked, this, [this, k](bool on) { Chk_Click(k, on); });
    }
    Chk[R::kReservedBox]->hide();
    for (int i = 0; i < 4; ++i) {
        Cmd[i] = new QPushButton(R::viewCaption(i), this);
        Cmd[i]->setObjectName(indexed("Cmd", i));
        Cmd[i]->setAutoDefault(false);
        connect(Cmd[i], &QPushButton::clicked, this, [this, i] { Cmd_Click(i); });
    }
    connect(Lst, &QListWidget::currentRowChanged, this, [this] { Lst_Click(); });
}

void UsrGL::placeControls() {
    place(LabZB, 150, 120, 7800, 330);
    place(Lst, 150, 510, 2400, 4590);
    place(Lab, 2760, 540, 900, 330);
    place(Txt, 3660, 510, 2400, 390);
    // Two columns of eight boxes; the reserved one keeps its place empty.
    for (int k = 0; k < R::kBoxCount; ++k)
        place(Chk[k], 2760 + (k / 8) * 2700, 1080 + (k % 8) * 420, 2640, 390);
    for (int i = 0; i < 4; ++i)
        place(Cmd[i], 2760 + i * 1350, 4620, 1200, 480);
    setFixedSize(8250 / Twips::kPerPixel, 5400 / Twips::kPerPixel);
}

void UsrGL::Form_Load() {
    Lst->blockSignals(true);
    Lst->clear();
    LstQx->clear();
    Lst->addItem(R::listHeading());
    LstQx->addItem(QString());
    Lst->addItem(CurUsr);
    LstQx->addItem(CurQx);
    for (const QString& name : session_.operators()) {
        if (name == CurUsr)
            continue;
        Lst->addItem(name);
        LstQx->addItem(QString());
    }
    Lst->setCurrentRow(-1);
    Lst->blockSignals(false);
    Lst->setCurrentRow(0); // shows line 1, the logged-in operator
    LabZB->setText(R::ledgerLabel(CurZbNm));
}

void UsrGL::Lst_Click() {
    int row = Lst->currentRow();
    if (row == 0 && Lst->count() > 1) {
        Lst->setCurrentRow(1); // runs this again for line 1
        return;
    }
    if (row < 0)
        return;
    const QString name = Lst->item(row)->text();
    Txt->setText(name);
    if (name.isEmpty())
        return;
    QString word = LstQx->item(row)->text();
    if (word.isEmpty() && name == CurUsr)
        word = CurQx;
    if (word.isEmpty()) {
        const QString count = run(R::wordQuery(CurZbID, name));
        if (count.toInt() <= 0) {
            Msg::info(R::readFailed(name));
            Lst->setCurrentRow(1);
            return;
        }
        word = SqlRows(1, 0);
    }
    word = Rights::readWord(word);
    showWord(word);
    LstQx->item(row)->setText(word);
}

void UsrGL::showWord(const QString& word) {
    for (int k = 0; k < R::kBoxCount; ++k)
        Chk[k]->setChecked(k < word.size() && word.at(k) == QLatin1Char('1'));
}

void UsrGL::Chk_Click(int index, bool checked) {
    // Only a box the user cleared while editing; a word being shown never comes here.
    if (checked || mode_ == Mode::Viewing)
        return;
    Q_UNUSED(index);
    QString word;
    for (int k = 0; k < R::kBoxCount; ++k)
        word += Chk[k]->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    const QString after = R::applyClearRules(word);
    for (int k = 0; k < R::kBoxCount; ++k)
        if (k != R::kReservedBox)
            Chk[k]->setChecked(after.at(k) == QLatin1Char('1'));
}

bool UsrGL::eventFilter(QObject* watched, QEvent* event) {
    if (mode_ == Mode::Viewing) {
        switch (event->type()) {
        case QEvent::FocusIn:
            // Rights are changed only after "修 改": a box hands the focus on to it.
            if (Cmd[2]->isVisible())
                Cmd[2]->setFocus();
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void UsrGL::Cmd_Click(int index) {
    const bool editing = mode_ != Mode::Viewing;
    switch (index) {
    case 0:
        if (editing)
            SaveUsr();
        else
            DeleteUsr();
        break;
    case 1:
        if (!editing) {
            reject();
            break;
        }
        backToViewing();
        if (!Lst->currentItem() || !Lst->currentItem()->text().isEmpty()) {
            Lst_Click();
        } else {
            removeOperator(Lst->currentRow());
        }
        break;
    case 2:
        if (!editing)
            startEditing(Mode::Modifying);
        break;
    case 3:
        if (!editing)
            startEditing(Mode::Adding);
        break;
    }
}

void UsrGL::startEditing(Mode mode) {
    if (mode == Mode::Modifying && Txt->text().isEmpty())
        return;
    mode_ = mode;
    Cmd[2]->hide();
    Cmd[3]->hide();
    Cmd[0]->setText(R::editCaption(0));
    Cmd[1]->setText(R::editCaption(1));
    if (mode == Mode::Modifying) {
        if (Txt->text() == CurUsr)
            Chk[0]->setEnabled(false);
    } else {
        Txt->setEnabled(true);
        Txt->clear();
        showWord(QString());
        Lst->addItem(QString());
        LstQx->addItem(QString());
        Lst->setCurrentRow(Lst->count() - 1);
        Txt->setFocus();
    }
    Lst->setEnabled(false);
}

void UsrGL::backToViewing() {
    mode_ = Mode::Viewing;
    Txt->setEnabled(false);
    Cmd[2]->show();
    Cmd[3]->show();
    Cmd[0]->setText(R::viewCaption(0));
    Cmd[1]->setText(R::viewCaption(1));
    Chk[0]->setEnabled(true);
    Lst->setEnabled(true);
}

QString UsrGL::run(const QString& statement, bool firstValue) {
    for (QPushButton* b : Cmd)
        b->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString result = firstValue ? RunSqlOne(statement) : RunSql(statement);
    QApplication::restoreOverrideCursor();
    for (QPushButton* b : Cmd)
        b->setEnabled(true);
    return result;
}

void UsrGL::SaveUsr() {
    bool ticked[R::kBoxCount];
    for (int k = 0; k < R::kBoxCount; ++k)
        ticked[k] = Chk[k]->isChecked();
    const int row = Lst->currentRow();
    if (row < 1)
        return;
    const Db::Action action;

    if (mode_ == Mode::Adding) {
        const QString name = CleanStr(Txt->text());
        Txt->setText(name);
        if (name.isEmpty()) {
            Msg::info(R::enterNewName());
            Txt->setFocus();
            return;
        }
        for (int i = 1; i < row; ++i) {
            if (Lst->item(i)->text() == name) {
                Msg::info(R::duplicateName(name));
                Txt->setFocus();
                return;
            }
        }
        const QString word = R::wordFromBoxes(ticked, QString());
        if (Db::isSecureServer()) {
            // The server adds the login and the row together, or tells why not.
            const QString answer = run(R::addOperatorCall(name, word), true);
            if (answer != kOK) {
                Msg::info(R::callRefusal(answer, name, R::connectFailed()));
                Txt->setFocus();
                return;
            }
        } else if (run(R::operatorInsert(CurZbID, name, word)) != kOK) {
            // Another client may have added the name since this list was read, or the insert
            // went through and only its reply was lost.
            const bool lost = Db::lastCommandLostConnection();
            const QString rows = run(R::insertedRowQuery(CurZbID, name));
            const R::FailedInsert why =
                R::afterFailedInsert(rows, lost, SqlRows(1, 0), SqlRows(1, 1), word);
            if (why != R::FailedInsert::Ours) {
                Msg::info(why == R::FailedInsert::Taken ? R::duplicateName(name)
                                                        : R::connectFailed());
                Txt->setFocus();
                return;
            }
        }
        Lst->item(row)->setText(name);
        LstQx->item(row)->setText(word);
        session_.addOperator(name);
    } else {
        const QString name = Txt->text();
        const QString word = R::wordFromBoxes(ticked, LstQx->item(row)->text());
        const bool secure = Db::isSecureServer();
        const QString answer = secure ? run(R::setRightsCall(name, word), true)
                                      : run(R::rightsUpdate(CurZbID, name, word));
        if (answer != kOK && answer != QLatin1String("MISSING")) {
            Msg::info(R::callRefusal(answer, name, R::connectFailed()));
            return;
        }
        // An update of a row deleted meanwhile still answers "OK".
        if (secure ? answer != kOK : run(R::wordQuery(CurZbID, name)) == QStringLiteral("0")) {
            backToViewing();
            removeOperator(row);
            Msg::info(R::operatorGone(name));
            // Line 1 is always the operator at work: without him the window has no footing.
            if (name == CurUsr)
                close();
            return;
        }
        LstQx->item(row)->setText(word);
        if (name == CurUsr)
            CurQx = word;
    }
    Msg::info(R::saved());
    backToViewing();
}

void UsrGL::DeleteUsr() {
    const QString name = Txt->text();
    if (name.isEmpty()) {
        Msg::info(R::chooseToDelete());
        return;
    }
    if (name == CurUsr) {
        Msg::info(R::cannotDeleteSelf());
        return;
    }
    if (!Msg::askYesNo(R::askDelete(name), QMessageBox::Question))
        return;
    const QString answer = Db::isSecureServer() ? run(R::removeOperatorCall(name), true)
                                                : run(R::operatorDelete(CurZbID, name));
    if (answer != kOK) {
        Msg::info(R::callRefusal(answer, name, R::deleteConnectFailed()));
        return;
    }
    removeOperator(Lst->currentRow());
    Msg::info(R::deleted());
}

void UsrGL::removeOperator(int row) {
    if (row < 1)
        return;
    const QString name = Lst->item(row)->text();
    if (!name.isEmpty())
        session_.removeOperator(name);
    {
        const QSignalBlocker block(Lst);
        delete LstQx->takeItem(row);
        delete Lst->takeItem(row);
        Lst->setCurrentRow(1);
    }
    Lst_Click();
}
