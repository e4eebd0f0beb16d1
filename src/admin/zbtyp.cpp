#include "admin/zbtyp.h"

#include "admin/zbtyprules.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "app/twips.h"
#include "db/secure.h"
#include "db/serverprobe.h"
#include "db/sqlaccess.h"
#include "db/srvset.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

using namespace MainBas;
using Twips::indexed;
using Twips::place;
namespace R = ZbTypRules;

namespace {

ZbTyp* theZbTyp = nullptr;

constexpr int kFrameWidth = 6600;
constexpr int kFrameHeight = 4650;

// The window stays disabled under the wait cursor while it waits for the server.
class ServerWait {
public:
    explicit ServerWait(QWidget* window) : window_(window) {
        window_->setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        DoEvents();
    }
    ~ServerWait() {
        QApplication::restoreOverrideCursor();
        window_->setEnabled(true);
    }
    ServerWait(const ServerWait&) = delete;
    ServerWait& operator=(const ServerWait&) = delete;

private:
    QWidget* window_;
};

const QString kOK = QStringLiteral("OK");

} // namespace

ZbTyp* ZbTyp::instance() {
    if (!theZbTyp)
        theZbTyp = new ZbTyp();
    if (!theZbTyp->loaded_)
        theZbTyp->Form_Load();
    return theZbTyp;
}

void ZbTyp::destroyInstance() {
    delete theZbTyp;
    theZbTyp = nullptr;
}

ZbTyp::ZbTyp() {
    setObjectName(QStringLiteral("ZbTyp"));
    setWindowTitle(R::caption());
    setModal(true);
    createControls();
    placeControls();
}

void ZbTyp::createControls() {
    for (int i = 0; i < 3; ++i) {
        Frm[i] = new QFrame(this);
        Frm[i]->setObjectName(indexed("Frm", i));
        Frm[i]->setAccessibleName(R::frameCaption(i));
        LabCpt[i] = new QLabel(R::frameCaption(i), Frm[i]);
        LabCpt[i]->setObjectName(indexed("LabCpt", i));
        QFont big = LabCpt[i]->font();
        big.setBold(true);
        big.setPointSizeF(big.pointSizeF() * 1.3);
        LabCpt[i]->setFont(big);
    }

    for (int i = 0; i < 2; ++i) {
        LabInfo[i] = new QLabel(Frm[i]);
        LabInfo[i]->setObjectName(indexed("LabInfo", i));
        LabInfo[i]->setWordWrap(true);
        LabInfo[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }

    LabID = new QLabel(R::contactLabel(), Frm[0]);
    LabID->setObjectName(QStringLiteral("LabID"));
    LabID->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    CmbLX = new QComboBox(Frm[0]);
    CmbLX->setObjectName(QStringLiteral("CmbLX"));
    TxtZbID = new QLineEdit(Frm[0]);
    TxtZbID->setObjectName(QStringLiteral("TxtZbID"));

    TxtZbNm = new QLineEdit(Frm[1]);
    TxtZbNm->setObjectName(QStringLiteral("TxtZbNm"));

    optGroup_ = new QButtonGroup(this);
    for (int i = 0; i < R::kOptionCount; ++i) {
        Opt[i] = new QRadioButton(R::optionCaption(i), Frm[2]);
        Opt[i]->setObjectName(indexed("Opt", i));
        optGroup_->addButton(Opt[i], i);
    }
    // Made after Opt_4 so that they lie above its caption.
    for (int i = 0; i < 2; ++i) {
        Txt[i] = new QLineEdit(Frm[2]);
        Txt[i]->setObjectName(indexed("Txt", i));
        Txt[i]->setAlignment(Qt::AlignCenter);
        Txt[i]->setTextMargins(0, 0, 0, 0);
        // Typing a word of one's own means the custom type.
        connect(Txt[i], &QLineEdit::textEdited, this,
                [this] { Opt[R::kCustomOption]->setChecked(true); });
    }

    // Cmd_0/1 type frame, Cmd_2/3 add frame, Cmd_4/5 name frame.
    const int frameOf[6] = {2, 2, 0, 0, 1, 1};
    for (int i = 0; i < 6; ++i) {
        const bool ok = i == 0 || i == 3 || i == 5;
        Cmd[i] = new QPushButton(ok ? R::okCaption() : R::cancelCaption(), Frm[frameOf[i]]);
        Cmd[i]->setObjectName(indexed("Cmd", i));
        connect(Cmd[i], &QPushButton::clicked, this, [this, i] { Cmd_Click(i); });
    }
}

void ZbTyp::placeControls() {
    for (int i = 0; i < 3; ++i) {
        place(Frm[i], 50, 0, kFrameWidth, kFrameHeight);
        place(LabCpt[i], 180, 180, 6240, 390);
    }

    place(LabInfo[0], 180, 690, 6240, 2250);
    place(LabID, 180, 3210, 1140, 390);
    place(CmbLX, 1320, 3210, 1200, 390);
    place(TxtZbID, 2610, 3210, 3810, 390);

    place(LabInfo[1], 180, 690, 6240, 1800);
    place(TxtZbNm, 180, 2700, 6240, 390);

    for (int i = 0; i < R::kOptionCount; ++i)
        place(Opt[i], 360, 720 + i * 600, 6060, 420);

    // OK then cancel at the same spot in every frame.
    const int left[6] = {3420, 4980, 4980, 3420, 4980, 3420};
    for (int i = 0; i < 6; ++i)
        place(Cmd[i], left[i], 3990, 1440, 480);

    setFixedSize((kFrameWidth + 100) / Twips::kPerPixel, (kFrameHeight + 50) / Twips::kPerPixel);
}

// The two words of the custom type sit in the blanks of Opt_4's caption.
void ZbTyp::placeCustomWords() {
    QRadioButton* opt = Opt[R::kCustomOption];
    QStyleOptionButton so;
    so.initFrom(opt);
    so.text = opt->text();
    const QRect contents = opt->style()->subElementRect(QStyle::SE_RadioButtonContents, &so, opt);
    const QFontMetrics fm(opt->font());
    const QString caption = opt->text();
    const int height = fm.height() + 6;
    const int top = opt->y() + (opt->height() - height) / 2;
    int from = 0;
    for (int i = 0; i < 2; ++i) {
        const int start = caption.indexOf(QLatin1Char(' '), from);
        if (start < 0)
            break;
        int end = start;
        while (end < caption.size() && caption.at(end) == QLatin1Char(' '))
            ++end;
        const int x = opt->x() + contents.x() + fm.horizontalAdvance(caption.left(start));
        Txt[i]->setGeometry(x, top, fm.horizontalAdvance(caption.mid(start, end - start)), height);
        from = end;
    }
}

void ZbTyp::showEvent(QShowEvent* event) {
    placeCustomWords();
    QDialog::showEvent(event);
}

void ZbTyp::Form_Load() {
    Txt[0]->setText(ItemName);
    Txt[1]->setText(SlName);
    NewZb = false;
    CmbLX->clear();
    CmbLX->addItems(R::contactKinds());
    CmbLX->setCurrentIndex(0);
    LabInfo[0]->setText(R::contactInfo());
    LabInfo[1]->setText(R::nameInfo());
    Opt[R::kCustomOption]->setChecked(true);
    TxtZbID->clear();
    TxtZbNm->clear();
    showFrame(0);
    loaded_ = true;
}

void ZbTyp::showFrame(int index) {
    if (index < 0 || index > 2)
        return;
    for (int i = 0; i < 3; ++i)
        Frm[i]->setVisible(i == index);
    shownFrame_ = index;
    // Enter confirms the step on show.
    const int okOf[3] = {3, 5, 0};
    for (int i = 0; i < 6; ++i)
        Cmd[i]->setDefault(i == okOf[index]);
    QWidget* first[3] = {TxtZbID, TxtZbNm, optGroup_->checkedButton()};
    if (first[index])
        first[index]->setFocus();
}

void ZbTyp::done(int result) {
    EdZbNm = 0;
    loaded_ = false;
    QDialog::done(result);
}

void ZbTyp::Cmd_Click(int index) {
    switch (index) {
    case 0:
        typeStep();
        break;
    case 3:
        contactStep();
        break;
    case 5:
        nameStep();
        break;
    default:
        reject();
        break;
    }
}

void ZbTyp::contactStep() {
    const R::Contact contact = R::checkContact(TxtZbID->text(), CmbLX->currentText());
    TxtZbID->setText(contact.text);
    if (!contact.message.isEmpty()) {
        Msg::info(contact.message);
        return;
    }
    const Db::Action action;
    QString count;
    QString name;
    {
        ServerWait wait(this);
        count = RunSql(ledgerLookup(contact.text));
        // Taken at once: any later server call overwrites the result rows.
        name = SqlRows(1, 0);
    }
    // A new server has no tables yet: made on request, then the contact is looked up again.
    if (count.isEmpty()) {
        const SrvSet::Offer offer = SrvSet::offerTables();
        if (offer == SrvSet::Offer::Answered)
            return;
        if (offer == SrvSet::Offer::Made) {
            ServerWait wait(this);
            count = RunSql(ledgerLookup(contact.text));
            name = SqlRows(1, 0);
        }
    }
    if (count.isEmpty()) {
        Msg::info(ServerProbe::connectFailed(R::connectFailed()));
        return;
    }
    if (count.toInt() > 0) {
        joinLedger(contact.text, name);
        return;
    }
    NewZb = true;
    CurZbID = contact.text;
    TxtZbNm->setText(R::newLedgerName(CurZbNm));
    showFrame(1);
}

QString ZbTyp::ledgerLookup(const QString& zbid) {
    return Db::isSecureServer() ? R::ledgerNameCall(zbid) : R::ledgerQuery(zbid);
}

void ZbTyp::joinLedger(const QString& zbid, const QString& name) {
    // Set before the list moves, so that the list does not take its selection for a click.
    DlgRet = kOK;
    emit ledgerChosen(zbid, name, true);
    accept();
}

void ZbTyp::nameStep() {
    const QString name = R::cleanName(TxtZbNm->text());
    TxtZbNm->setText(name);
    if (name.isEmpty()) {
        Msg::info(LabInfo[1]->text());
        return;
    }
    CurZbNm = name;
    if (EdZbNm == 1) {
        accept();
        return;
    }
    showFrame(2);
}

void ZbTyp::typeStep() {
    const int option = optGroup_->checkedId();
    const R::Words words = R::typeWords(option, Txt[0]->text(), Txt[1]->text());
    if (option == R::kCustomOption) {
        Txt[0]->setText(words.item);
        Txt[1]->setText(words.sl);
    }
    if (!words.message.isEmpty()) {
        Msg::info(words.message);
        return;
    }
    const QString oldItem = ItemName;
    const QString oldSl = SlName;
    ItemName = words.item;
    SlName = words.sl;

    if (NewZb) {
        const Db::Action action;
        QString inserted;
        {
            ServerWait wait(this);
            if (Db::isSecureServer()) {
                inserted = RunSqlOne(
                    R::createLedgerCall(CurZbID, CurZbNm, ItemName, SlName, GetSrvDate()));
            } else {
                inserted =
                    RunSql(R::ledgerInsert(CurZbID, CurZbNm, ItemName, SlName, GetSrvDate()));
                // A ledger left without its operator is not reported.
                if (inserted == kOK)
                    RunSql(R::firstOperatorInsert(CurZbID));
            }
        }
        if (inserted != kOK) {
            Msg::info(R::createFailed(), R::failureTitle());
            ItemName = oldItem;
            SlName = oldSl;
            showFrame(0);
            return;
        }
        DlgRet = kOK;
        emit ledgerChosen(CurZbID, CurZbNm, false);
        accept();
        return;
    }

    QString updated;
    {
        ServerWait wait(this);
        updated = RunSql(R::settingsUpdate(CurZbID, CurZbNm, ItemName, SlName));
    }
    if (updated != kOK) {
        // The server keeps the old words, so the program keeps them too.
        ItemName = oldItem;
        SlName = oldSl;
        Msg::info(R::saveFailed(), R::failureTitle());
        return;
    }
    // The ledger is in the list already: no second entry for it.
    DlgRet = kOK;
    accept();
}
