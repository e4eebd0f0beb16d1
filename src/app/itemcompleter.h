#pragma once
// A completion list under an editable item box: as the operator types, the box's items that
// match by their characters or their pinyin initials (Pinyin::ItemMatcher). Down and Enter, or
// a click, take an item as a choice from the box's own list would; until then the box keeps
// exactly what was typed, and Up or Down leave a text that matches no item as it is.

#include "app/pinyin.h"

#include <QObject>

class QComboBox;
class QCompleter;
class QKeyEvent;
class QStringListModel;

class ItemCompleter : public QObject {
    Q_OBJECT
public:
    // Attaches a completion list to the editable `combo`; it lives as the box's child and
    // follows the box's items as they are loaded, added and removed.
    static ItemCompleter* attach(QComboBox* combo);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ItemCompleter(QComboBox* combo);
    void followItems();
    void reloadItems();
    QStringList itemTexts(int first, int last) const;
    void offer(const QString& typed);
    void take(const QString& item);
    void hideList();
    bool keepsTypedText(const QKeyEvent* key) const;

    QComboBox* combo_;
    QStringListModel* shown_;
    QCompleter* completer_;
    Pinyin::ItemMatcher items_;
};
