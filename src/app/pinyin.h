#pragma once
// Finding an item as Chinese operators type it: by its own characters, whatever their case and
// width, or by the first letters of its pinyin ("lsd" for 螺丝钉M6).

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Pinyin {

// Each Chinese character gives the first letter of its pinyin, Latin letters and digits stay
// (lower case, in their plain ASCII form), every other character is dropped:
// "不锈钢管φ32" gives "bxgg32". The reading is the one item names use most: ICU's Han-Latin
// transliterator, a few corrected; each character is worked out once per run.
QString initials(const QString& text);

// The same places as initials(), each with every letter it may stand for: a character read
// more than one way (行 háng or xíng) gives the first letters of all its modern readings, so
// "行李" gives {"hx", "l"}. The letters of a place are in alphabetical order.
QStringList readings(const QString& text);

// `text` with case and width folded away, so that "Ｍ６" and "m6" compare equal.
QString folded(const QString& text);

// How many items a completion list shows at most.
inline constexpr int kShown = 20;

// The items of one list with their initials, worked out when items are set or inserted, so
// that a keystroke only compares.
class ItemMatcher {
public:
    void setItems(const QStringList& items);
    void insert(int position, const QStringList& items);
    void remove(int position, int count);
    int size() const { return static_cast<int>(keys_.size()); }

    // The items that match `typed`: those whose initials start with it first, then those whose
    // text contains it (case and width ignored) or whose initials contain it, each group in
    // the list's order; at most `limit`. Initials match when any choice of each character's
    // readings does. They count only for a typed text of Latin letters and digits, at most 64
    // of them; empty items never match.
    QStringList match(const QString& typed, int limit = kShown) const;

    // One bit per letter a place of readings() may stand for: a to z, then 0 to 9.
    using Letters = quint64;

private:
    struct Key {
        QString text;
        QString folded;
        QVector<Letters> places;
    };
    static QList<Key> keysOf(const QStringList& items);
    QList<Key> keys_;
};

} // namespace Pinyin
