#include "admin/usrpwd.h"

#include "admin/usrpwdrules.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/twips.h"
#include "db/secure.h"
#include "db/sqlaccess.h"
#include "main_window/ledgerlist.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace MainBas;
using Twips::place;
namespace R = UsrPwdRules;

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText); // the ledger name comes from the server
    return l;
}

const QString kOK = QStringLiteral("OK");

} // namespace

UsrPwd::UsrPwd(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("UsrPwd"));
    setWindowTitle(R::caption());
    setModal(true);
    LabZB = label(this, "LabZB", QString());
    Label1 = label(this, "Label1", R::operatorLabel());
    Label2 = label(this, "Label2", R::passwordLabel());
    Label3 = label(this, "Label3", R::confirmLabel());
    for (int i = 0; i < 3; ++i) {
        Txt[i] = new QLineEdit(this);
        Txt[i]->setObjectName(QStringLiteral("Txt_") + QString::number(i));
        if (i > 0)
            Msg::starEcho(Txt[i]);
    }
    for (int i = 0; i < 2; ++i) {
        Cmd[i] = new QPushButton(i == 0 ? R::okCaption() : R::cancelCaption(), this);
        Cmd[i]->setObjectName(QStringLiteral("Cmd_") + QString::number(i));
        connect(Cmd[i], &QPushButton::clicked, this, [this, i] { Cmd_Click(i); });
    }
    Cmd[0]->setDefault(true);

    place(LabZB, 360, 240, 4200, 330);
    QLabel* labels[3] = {Label1, Label2, Label3};
    for (int i = 0; i < 3; ++i) {
        place(labels[i], 360, 840 + i * 600, 1200, 390);
        place(Txt[i], 1560, 800 + i * 600, 2700, 390);
    }
    place(Cmd[0], 1200, 2700, 1200, 450);
    place(Cmd[1], 2760, 2700, 1200, 450);
    setFixedSize(4700 / Twips::kPerPixel, 3500 / Twips::kPerPixel);
    Form_Load();
}

void UsrPwd::Form_Load() {
    LabZB->setText(R::ledgerLabel(CurZbNm));
}

void UsrPwd::lockName(const QString& name) {
    Txt[0]->setText(name);
    Txt[0]->setReadOnly(true);
    Txt[0]->setFocusPolicy(Qt::NoFocus);
    QPalette p = Txt[0]->palette();
    p.setColor(QPalette::Base, palette().color(QPalette::Window));
    Txt[0]->setPalette(p);
    Txt[1]->setFocus();
}

void UsrPwd::Cmd_Click(int index) {
    if (index == 0) {
        confirm();
        return;
    }
    DlgRet.clear();
    reject();
}

void UsrPwd::confirm() {
    const QString p1 = Txt[1]->text();
    const QString refusal = R::checkPasswords(p1, Txt[2]->text());
    if (!refusal.isEmpty()) {
        Msg::info(refusal);
        return;
    }
    if (Db::isSecureServer()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const QString verifier = Db::encryptPassword(p1, Db::operatorRole(CurZbID, CurUsr));
        const QString answer =
            verifier.isEmpty() ? QString() : RunSqlOne(R::setPasswordCall(verifier));
        QApplication::restoreOverrideCursor();
        if (answer != kOK) {
            Msg::info(Db::operatorRemoved(CurZbID, CurUsr) ? R::operatorGone(CurUsr)
                                                           : R::connectFailed());
            return;
        }
        finish(p1);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString found = RunSql(R::operatorQuery(CurZbID, CurUsr));
    const QString changed =
        found.toInt() > 0 ? RunSql(R::passwordUpdate(CurZbID, CurUsr, p1)) : QString();
    QApplication::restoreOverrideCursor();
    if (found == QStringLiteral("0")) {
        Msg::info(R::operatorGone(CurUsr));
        return;
    }
    if (changed != kOK) {
        Msg::info(R::connectFailed());
        return;
    }
    finish(p1);
}

void UsrPwd::finish(const QString& password) {
    // Automatic login would fail on every start with the old password.
    if (!LedgerList::rememberedPassword(CurUsr, CurZbID).isEmpty())
        LedgerList::setRememberedPassword(CurUsr, CurZbID, password);
    DlgRet = kOK;
    accept();
}
