#include "admin/gonggao.h"

#include "admin/gonggaorules.h"
#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/twips.h"
#include "db/sqlaccess.h"
#include "main_window/kuangtexts.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include <algorithm>

using namespace MainBas;
using Twips::indexed;
using Twips::place;
namespace R = GongGaoRules;

namespace {

// The desktop's system colour numbers that a stored notice can name, by palette role.
QPalette::ColorRole roleOf(int systemIndex) {
    switch (systemIndex) {
    case 1:  // desktop
    case 15: // button face
        return QPalette::Button;
    case 5: // window background
        return QPalette::Base;
    case 8: // window text
        return QPalette::Text;
    case 13:
        return QPalette::Highlight;
    case 14:
        return QPalette::HighlightedText;
    case 16: // button shadow
        return QPalette::Dark;
    case 17: // grey text
        return QPalette::PlaceholderText;
    case 18: // button text
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 23:
        return QPalette::ToolTipText;
    case 24:
        return QPalette::ToolTipBase;
    default:
        return QPalette::WindowText;
    }
}

const QString kOK = QStringLiteral("OK");
const QChar kBar(0x2502);

} // namespace

QColor noticeColour(int stored, const QPalette& palette) {
    const R::OleColour c = R::decodeColour(stored);
    if (c.system)
        return palette.color(roleOf(c.index));
    return QColor(c.red, c.green, c.blue);
}

GongGao::GongGao(LedgerSession& session, QWidget* parent)
    : QDialog(parent), colour_(R::kWindowText), session_(session) {
    setObjectName(QStringLiteral("GongGao"));
    setWindowTitle(R::caption());
    setModal(true);
    LabCpt = new QLabel(R::promptText(), this);
    LabCpt->setObjectName(QStringLiteral("LabCpt"));
    LabRed = new QLabel(R::tooLongText(), this);
    LabRed->setObjectName(QStringLiteral("LabRed"));
    LabRed->setStyleSheet(QStringLiteral("color: #ff0000;"));
    LabRed->hide();
    Txt = new QPlainTextEdit(this);
    Txt->setObjectName(QStringLiteral("Txt"));
    Txt->setTabChangesFocus(true);
    for (int i = 0; i < R::kOptionCount; ++i) {
        Lab[i] = new QLabel(R::optionCaption(i), this);
        Lab[i]->setObjectName(indexed("Lab", i));
        Lab[i]->setCursor(Qt::PointingHandCursor);
        QPalette p = Lab[i]->palette();
        p.setColor(QPalette::WindowText, noticeColour(R::optionColour(i), p));
        Lab[i]->setPalette(p);
        Lab[i]->installEventFilter(this);
    }
    for (int i = 0; i < 3; ++i) {
        Cmd[i] = new QPushButton(R::buttonCaption(i), this);
        Cmd[i]->setObjectName(indexed("Cmd", i));
        Cmd[i]->setAutoDefault(false);
        connect(Cmd[i], &QPushButton::clicked, this, [this, i] { Cmd_Click(i); });
    }
    connect(Txt, &QPlainTextEdit::textChanged, this, &GongGao::Txt_Change);

    place(LabCpt, 240, 120, 4200, 330);
    place(LabRed, 3600, 120, 2400, 330);
    place(Txt, 240, 480, 5700, 1800);
    // White on the window colour is hard to read: the white label gets a grey ground.
    for (int i = 0; i < R::kOptionCount; ++i)
        place(Lab[i], 240 + i * 960, 2400, 840, 330);
    Lab[4]->setAutoFillBackground(true);
    QPalette grey = Lab[4]->palette();
    grey.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    Lab[4]->setPalette(grey);
    for (int i = 0; i < 3; ++i)
        place(Cmd[i], 1320 + i * 1560, 2880, 1320, 450);
    setFixedSize(6200 / Twips::kPerPixel, 3540 / Twips::kPerPixel);
    Form_Load();
    if (!session_.notice().isEmpty()) {
        const KuangTexts::Notice notice = KuangTexts::parseNotice(session_.notice());
        setNotice(R::fromStored(notice.text), notice.hasColour && notice.colour != R::kHintColour,
                  notice.colour);
    }
}

void GongGao::Form_Load() {
    QPalette p = Txt->palette();
    p.setColor(QPalette::Base, palette().color(QPalette::Window));
    Txt->setPalette(p);
    applyColour(colour_);
    if (parentWidget())
        move(parentWidget()->frameGeometry().topLeft());
}

void GongGao::setNotice(const QString& boxText, bool hasColour, int colour) {
    // The stored notice is shown whole even when another client wrote more than may be typed;
    // the limit holds for typing only.
    changing_ = true;
    Txt->setPlainText(boxText);
    changing_ = false;
    // What another client stored gets the checks of typed text: the bar rule and the estimate.
    checkText();
    if (hasColour)
        applyColour(colour);
}

void GongGao::applyColour(int colour) {
    colour_ = colour;
    QPalette p = Txt->palette();
    p.setColor(QPalette::Text, noticeColour(colour, palette()));
    Txt->setPalette(p);
}

bool GongGao::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease)
        for (int i = 0; i < R::kOptionCount; ++i)
            if (watched == Lab[i])
                Lab_Click(i);
    return QDialog::eventFilter(watched, event);
}

void GongGao::Lab_Click(int index) {
    applyColour(R::optionColour(index));
}

void GongGao::Txt_Change() {
    if (changing_)
        return;
    const QString s = Txt->toPlainText();
    // Refused like a box's length limit, but only when the text grows: a longer notice stored
    // by another client can always be shortened.
    if (R::storedLength(s) > R::kMaxLength && R::storedLength(s) > R::storedLength(lastText_)) {
        // The text stays as it was, the caret where the refused characters would have gone.
        const int added = static_cast<int>(s.size() - lastText_.size());
        const int at =
            std::clamp(Txt->textCursor().position() - added, 0, static_cast<int>(lastText_.size()));
        changing_ = true;
        Txt->setPlainText(lastText_);
        QTextCursor c = Txt->textCursor();
        c.setPosition(at);
        Txt->setTextCursor(c);
        changing_ = false;
        return;
    }
    checkText();
}

void GongGao::checkText() {
    changing_ = true;
    QString s = Txt->toPlainText();
    if (R::storedLength(s) >= R::kEstimateFrom) {
        // "│" separates colour from text in the stored notice; replaced character by
        // character so that the caret stays where it is.
        for (int i = s.indexOf(kBar); i >= 0; i = s.indexOf(kBar, i + 1)) {
            QTextCursor c(Txt->document());
            c.setPosition(i);
            c.setPosition(i + 1, QTextCursor::KeepAnchor);
            c.insertText(QStringLiteral("|"));
            s[i] = QLatin1Char('|');
        }
        LabRed->setVisible(R::lineEstimate(s) > R::kMaxLines);
    }
    lastText_ = s;
    changing_ = false;
}

void GongGao::Cmd_Click(int index) {
    switch (index) {
    case 0:
        publish();
        break;
    case 2:
        systemDefault();
        break;
    default:
        reject();
        break;
    }
}

void GongGao::publish() {
    const QString text = Txt->toPlainText();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString result = RunSql(R::publishStatement(CurZbID, colour_, text));
    QApplication::restoreOverrideCursor();
    if (result != kOK) {
        Msg::info(R::connectFailed());
        return;
    }
    session_.setNotice(R::encode(colour_, text));
    accept();
}

void GongGao::systemDefault() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString result = RunSql(R::clearStatement(CurZbID));
    QApplication::restoreOverrideCursor();
    if (result != kOK) {
        // The text stays for another try.
        Msg::info(R::connectFailed());
        return;
    }
    Txt->clear();
    session_.setNotice(QString());
    accept();
}
