// The main window's entry panel: item list, quantity hint and saving an entry.
#include "main_window/kuang.h"

#include "app/ledgersession.h"

#include "admin/rights.h"
#include "app/clock.h"
#include "app/format.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "db/secure.h"
#include "db/sqlaccess.h"
#include "main_window/entry.h"
#include "main_window/kuangtexts.h"
#include "main_window/ledgerlist.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

using namespace MainBas;

namespace {

// Menu captions treat "&" as a shortcut mark; item names are shown as typed.
QString menuText(const QString& text) {
    return QString(text).replace(QLatin1Char('&'), "&&");
}

bool seesQuantity() {
    return Rights::has(CurQx, Rights::SeeQuantity);
}

} // namespace

void Kuang::LoadItemList() {
    QStringList items;
    if (RunSql(Entry::itemListStatement(CurZbID)).toInt() > 0)
        for (int i = 1; i <= SqlRowMax; ++i)
            if (!SqlRows(i, 0).isEmpty())
                items.append(SqlRows(i, 0));
    session_->setItems(items);
}

QString Kuang::GetItemSL(const QString& item) {
    QString result;
    SLValue = 0;
    if (RunSql(Entry::itemSumStatement(CurZbID, item)).toInt() > 0) {
        SLValue = SqlRows(1, 0).toDouble();
        result = NumStr(SLValue);
    }
    SLItem = item;
    return result;
}

void Kuang::Txt_Change() {
    Lab5->hide();
    const QString text = Txt->text();
    if (PanelNo != 2 || text.trimmed().isEmpty())
        return;
    const Entry::Typed typed = Entry::shapeTyped(text, Txt->cursorPosition());
    if (typed.text != text) {
        Txt->setText(typed.text);
        Txt->setCursorPosition(typed.cursor);
    }
}

void Kuang::Cmb_Change() {
    Lab5->hide();
    const int index = Cmb->currentIndex();
    if (index >= 0 && Cmb->itemText(index) != Cmb->currentText())
        Lab4->hide();
}

bool Kuang::Cmb_KeyPress(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    Txt->setFocus();
    return true;
}

void Kuang::Cmb_FocusOut(QFocusEvent* event) {
    // The drop-down opening or another window taking over is no leaving of the box.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    Cmb_LostFocus();
}

void Kuang::Cmb_LostFocus() {
    if (PanelNo != 2)
        return;
    Lab5->hide();
    const QString text = CleanStr(Cmb->currentText());
    Cmb->setEditText(text);
    if (text.isEmpty()) {
        Lab4->hide();
        return;
    }
    const int found = Cmb->findText(text, Qt::MatchFixedString);
    if (found >= 0) {
        Cmb->setCurrentIndex(found);
        Cmb_Click();
        return;
    }
    SLItem.clear();
    Lab4->setText(Entry::newItemText(ItemName));
    Lab4->show();
}

void Kuang::Cmb_Click() {
    if (PanelNo != 2)
        return;
    Lab5->hide();
    const int index = Cmb->currentIndex();
    if (index < 0 || Cmb->itemText(index).isEmpty()) {
        Lab4->hide();
        return;
    }
    const QString selected = Cmb->itemText(index);
    if (SLItem != selected) {
        Lab4->hide();
        DoEvents(5);
        if (ShowSL)
            Lab4->setText(Entry::currentQuantityText(SlName, GetItemSL(selected)));
        else
            Lab4->setText(seesQuantity() ? Entry::clickToSeeText(SlName) : QString());
    }
    Lab4->show();
}

void Kuang::Lab4_Click() {
    Cmb->setEditText(CleanStr(Cmb->currentText()));
    if (ShowSL) {
        Menu_SeeSL->setVisible(false);
        Menu_AutoShowSet->setText(menuText(Entry::stopShowingCaption(SlName)));
    } else {
        if (!seesQuantity())
            return;
        const QString item = Cmb->currentText();
        Menu_SeeSL->setVisible(!item.isEmpty());
        Menu_SeeSL->setText(menuText(Entry::seeItemCaption(item, SlName)));
        Menu_AutoShowSet->setText(menuText(Entry::autoShowCaption(SlName)));
    }
    DoEvents(2);
    Menu_ShowSL->popup(QCursor::pos());
}

void Kuang::Menu_SeeSL_Click() {
    Lab4->setText(Entry::currentQuantityText(SlName, GetItemSL(Cmb->currentText())));
    Lab4->show();
}

void Kuang::Menu_AutoShowSet_Click() {
    ShowSL = !ShowSL;
    if (!ShowSL) {
        Lab4->setText(Entry::clickToSeeText(SlName));
    } else {
        SLItem.clear();
        Lab4->setText(
            Entry::currentQuantityText(SlName, GetItemSL(Cmb->itemText(Cmb->currentIndex()))));
    }
    LedgerList::setAutoShowSL(CurZbID, CurUsr, ShowSL);
}

void Kuang::SaveEntry() {
    const Entry::Decision d =
        Entry::check({Cmb->currentText(), Txt->text(), CurQx, ItemName, SlName, Lab2->text()});
    if (d.cleaned) {
        Cmb->setEditText(d.item);
        Txt->setText(d.text);
    }
    if (!d.accepted) {
        Msg::info(d.message, d.title);
        return;
    }
    // The server date, the insert and the check of a lost reply: one attempt to connect.
    const Db::Action action;
    const QTime now = Clock::now().time();
    const QString date = GetSrvDate();
    const Entry::Row row{CurZbID, CurUsr, date, d.item, d.split.remark, now, d.split.quantity};
    if (Entry::saveRow(row) != QLatin1String("OK")) {
        // An operator removed meanwhile has lost his login on a secure server.
        if (Db::operatorRemoved(CurZbID, CurUsr))
            Msg::info(KuangTexts::operatorDeleted(CurUsr));
        else
            Msg::info(Entry::connectFailedRetry(), QStringLiteral("提示"));
        return;
    }
    Txt->clear();
    DoEvents(7);
    session_->addItem(d.item);
    Lab5->setText(Entry::savedText(d.split.numberText));
    setHintAfterSave(d.item, d.split.quantity);
    DoEvents(2);
    Lab5->show();
}

void Kuang::setHintAfterSave(const QString& item, double quantity) {
    if (!ShowSL) {
        if (Lab4->text() == Entry::newItemText(ItemName))
            Lab4->setText(seesQuantity() ? Entry::clickToSeeText(SlName) : QString());
        return;
    }
    if (SLItem == item) {
        SLValue += quantity;
    } else if (SLItem.isEmpty()) {
        SLItem = item; // a new item: this entry is all it has
        SLValue = quantity;
    } else {
        GetItemSL(item); // the hint showed another item: ask for this one's sum
    }
    Lab4->setText(Entry::currentQuantityText(SlName, NumStr(SLValue)));
    Lab4->show();
}
