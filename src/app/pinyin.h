#pragma once
// Finding an item as Chinese operators type it: by its own characters, whatever their case and
// width, or by the first letters of its pinyin ("lsd" for 螺丝钉M6).

#include <QList>
#include <QString>
#include <QStringList>

namespace Pinyin {

// Each Chinese character gives the first letter of its pinyin, Latin letters and digits stay
// (lower case, in their plain ASCII form), every other character is dropped:
// "不锈钢管φ32" gives "bxgg32". Readings come from ICU's Han-Latin transliterator, a few
// corrected for the way they are read in item names; each character is worked out once per run.
QString initials(const QString& text);

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
    // the list's order; at most `limit`. Initials count only for a typed text of Latin letters
    // and digits; empty items never match.
    QStringList match(const QString& typed, int limit = kShown) const;

private:
    struct Key {
        QString text;
        QString folded;
        QString initials;
    };
    static QList<Key> keysOf(const QStringList& items);
    QList<Key> keys_;
};

} // namespace Pinyin
