#include "app/itemcompleter.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringListModel>

ItemCompleter* ItemCompleter::attach(QComboBox* combo) {
    return new ItemCompleter(combo);
}

ItemCompleter::ItemCompleter(QComboBox* combo)
    : QObject(combo), combo_(combo), shown_(new QStringListModel(this)),
      completer_(new QCompleter(shown_, this)) {
    // The list shows what the matcher found, as it is; the completer only draws it. It is
    // not the line edit's completer, so nothing changes the box's text but take().
    completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer_->setMaxVisibleItems(10);
    completer_->setWidget(combo);
    completer_->popup()->installEventFilter(this);
    combo->installEventFilter(this);
    combo->lineEdit()->installEventFilter(this);
    connect(completer_, qOverload<const QString&>(&QCompleter::activated), this,
            &ItemCompleter::take);
    connect(combo->lineEdit(), &QLineEdit::textEdited, this, &ItemCompleter::offer);
    followItems();
}

void ItemCompleter::followItems() {
    QAbstractItemModel* model = combo_->model();
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (!parent.isValid())
                    items_.insert(first, itemTexts(first, last));
            });
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (!parent.isValid())
                    items_.remove(first, last - first + 1);
            });
    connect(model, &QAbstractItemModel::modelReset, this, &ItemCompleter::reloadItems);
    connect(model, &QAbstractItemModel::dataChanged, this, &ItemCompleter::reloadItems);
    connect(model, &QAbstractItemModel::layoutChanged, this, &ItemCompleter::reloadItems);
    connect(model, &QAbstractItemModel::rowsMoved, this, &ItemCompleter::reloadItems);
    reloadItems();
}

void ItemCompleter::reloadItems() {
    items_.setItems(itemTexts(0, combo_->count() - 1));
}

QStringList ItemCompleter::itemTexts(int first, int last) const {
    QStringList texts;
    for (int i = first; i <= last; ++i)
        texts.append(combo_->itemText(i));
    return texts;
}

void ItemCompleter::offer(const QString& typed) {
    const QStringList found = items_.match(typed);
    if (found.isEmpty()) {
        hideList();
        return;
    }
    shown_->setStringList(found);
    completer_->complete();
    // No row is taken until the operator moves into the list.
    completer_->popup()->setCurrentIndex(QModelIndex());
}

void ItemCompleter::take(const QString& item) {
    hideList();
    const int row = combo_->findText(item, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (row < 0)
        return;
    combo_->setCurrentIndex(row);
    combo_->setEditText(item);
    // The window reacts as to a choice from the box's own list.
    emit combo_->activated(row);
    emit combo_->textActivated(item);
}

void ItemCompleter::hideList() {
    completer_->popup()->hide();
}

// While the list is open it receives the keys. It keeps the ones that move in it or close it;
// every other key goes to the box through its window's own handling, so that Enter or Tab in
// the box does what it always does.
bool ItemCompleter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    if (watched != completer_->popup())
        return keepsTypedText(static_cast<QKeyEvent*>(event));
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return false;
    case Qt::Key_Escape:
        hideList();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const QModelIndex current = completer_->popup()->currentIndex();
        hideList();
        if (current.isValid())
            take(current.data().toString());
        break;
    }
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        hideList();
        break;
    default:
        break;
    }
    QCoreApplication::sendEvent(combo_, event);
    return true;
}

// Up and Down in a box step through its own list. A typed text that matches no item is no
// place in that list to step from: it stays as typed rather than turning into a neighbour.
bool ItemCompleter::keepsTypedText(const QKeyEvent* key) const {
    if ((key->key() != Qt::Key_Up && key->key() != Qt::Key_Down) ||
        key->modifiers() & Qt::AltModifier)
        return false;
    const QString typed = combo_->currentText();
    return !typed.trimmed().isEmpty() && items_.match(typed, 1).isEmpty();
}
