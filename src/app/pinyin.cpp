#include "app/pinyin.h"

#include "app/fullwidth.h"

#include <QHash>
#include <QtAlgorithms>

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace Pinyin {

namespace {

// Characters whose reading in goods and account names is not the one ICU gives first: the one
// initials() gives. Matching takes every reading of a character anyway (pinyinreadings.inc).
struct Reading {
    char32_t han;
    char initial;
};
constexpr Reading kItemReadings[] = {
    {U'长', 'c'}, // 长度, 加长, 长管: cháng, not zhǎng
    {U'行', 'h'}, // 银行, 工行, 农行 (bank account ledgers): háng, not xíng
    {U'调', 't'}, // 空调, 调料, 调和油: tiáo, not diào
    {U'弹', 't'}, // 弹簧, 弹力带: tán, not dàn
    {U'轧', 'z'}, // 冷轧板, 热轧卷, 轧钢: zhá, not yà
    {U'茄', 'q'}, // 番茄, 茄子: qié, not jiā
    {U'刨', 'b'}, // 刨子, 电刨, 刨花板: bào, not páo
    {U'脯', 'f'}, // 果脯, 肉脯: fǔ, not pú
};

bool isAsciiLetterOrDigit(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

QChar asciiLower(QChar c) {
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ? QChar(c.unicode() + 32) : c;
}

// Made once: building the transliterator reads and compiles its rules (about a tenth of a
// second); transliterating one character with it takes microseconds.
icu::Transliterator* hanLatin() {
    static const std::unique_ptr<icu::Transliterator> made = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> t(
            icu::Transliterator::createInstance("Han-Latin", UTRANS_FORWARD, status));
        return U_SUCCESS(status) ? std::move(t) : nullptr;
    }();
    return made.get();
}

QString hanInitial(char32_t han) {
    for (const Reading& r : kItemReadings)
        if (r.han == han)
            return QString(QLatin1Char(r.initial));
    icu::Transliterator* t = hanLatin();
    if (!t)
        return {};
    icu::UnicodeString reading(static_cast<UChar32>(han));
    t->transliterate(reading);
    // The reading's first letter without its tone mark ("ā" is "a" and a macron). A character
    // ICU does not know comes back as itself and gives nothing.
    const QString first =
        QString(QChar(reading.charAt(0))).normalized(QString::NormalizationForm_D);
    const QChar letter = first.isEmpty() ? QChar() : first.at(0);
    return isAsciiLetterOrDigit(letter) ? QString(asciiLower(letter)) : QString();
}

// Full-width, accented and other compatibility forms of Latin letters and digits count as the
// plain ones ("Ｍ" is "m", "é" is "e", "㎏" is "kg"); anything else gives nothing.
QString otherInitials(char32_t c) {
    const QString plain = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KD);
    QString out;
    for (QChar p : plain) {
        if (p.category() == QChar::Mark_NonSpacing)
            continue;
        if (!isAsciiLetterOrDigit(p))
            return {};
        out += asciiLower(p);
    }
    return out;
}

// The other readings of characters read more than one way, sorted by code.
struct Alternatives {
    char32_t han;
    const char* letters;
};
constexpr Alternatives kAlternatives[] = {
#include "app/pinyinreadings.inc"
};

using Letters = ItemMatcher::Letters;

int bitOf(QChar letterOrDigit) {
    const char16_t c = letterOrDigit.unicode();
    return c >= u'a' && c <= u'z' ? c - u'a' : 26 + (c - u'0');
}

Letters alternativesOf(char32_t han) {
    const auto* end = std::end(kAlternatives);
    const auto* at =
        std::lower_bound(std::begin(kAlternatives), end, han,
                         [](const Alternatives& a, char32_t code) { return a.han < code; });
    Letters set = 0;
    if (at != end && at->han == han)
        for (const char* l = at->letters; *l; ++l)
            set |= Letters(1) << bitOf(QLatin1Char(*l));
    return set;
}

// A character's initials as initials() gives them, and for a Han character every other letter
// it may stand for.
struct CharInitials {
    QString first;
    Letters others = 0;
};

// The program asks from its one user-interface thread only.
const CharInitials& charInitials(char32_t c) {
    static QHash<char32_t, CharInitials> known;
    const auto it = known.constFind(c);
    if (it != known.constEnd())
        return *it;
    CharInitials made;
    if (QChar::script(c) == QChar::Script_Han) {
        made.first = hanInitial(c);
        made.others = alternativesOf(c);
    } else {
        made.first = otherInitials(c);
    }
    return *known.insert(c, made);
}

// Calls `place` with each character's initials, in order.
template <typename Place> void eachChar(const QString& text, Place place) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            if (isAsciiLetterOrDigit(c))
                place(CharInitials{QString(asciiLower(c)), 0});
            continue;
        }
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(c, text.at(++i));
        place(charInitials(code));
    }
}

QVector<Letters> placesOf(const QString& text) {
    QVector<Letters> places;
    places.reserve(text.size());
    eachChar(text, [&places](const CharInitials& ci) {
        // Only a Han character has other readings, and it gives one letter at most.
        if (ci.others && ci.first.size() <= 1) {
            places.append(ci.others | (ci.first.isEmpty() ? 0 : Letters(1) << bitOf(ci.first[0])));
            return;
        }
        for (QChar l : ci.first)
            places.append(Letters(1) << bitOf(l));
    });
    return places;
}

} // namespace

QString initials(const QString& text) {
    QString out;
    out.reserve(text.size());
    eachChar(text, [&out](const CharInitials& ci) { out += ci.first; });
    return out;
}

QStringList readings(const QString& text) {
    static const QString kLetters = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    QStringList out;
    for (Letters set : placesOf(text)) {
        QString place;
        for (int b = 0; b < kLetters.size(); ++b)
            if (set & (Letters(1) << b))
                place += kLetters.at(b);
        out.append(place);
    }
    return out;
}

QString folded(const QString& text) {
    return FullWidth::toHalfWidth(text).toCaseFolded();
}

QList<ItemMatcher::Key> ItemMatcher::keysOf(const QStringList& items) {
    QList<Key> keys;
    keys.reserve(items.size());
    for (const QString& item : items)
        keys.append({item, folded(item), placesOf(item)});
    return keys;
}

void ItemMatcher::setItems(const QStringList& items) {
    keys_ = keysOf(items);
}

void ItemMatcher::insert(int position, const QStringList& items) {
    const qsizetype at = std::clamp<qsizetype>(position, 0, keys_.size());
    const QList<Key> keys = keysOf(items);
    keys_.insert(at, keys.size(), Key());
    std::copy(keys.cbegin(), keys.cend(), keys_.begin() + at);
}

void ItemMatcher::remove(int position, int count) {
    keys_.remove(position, count);
}

namespace {

enum class Found { No, Inside, AtStart };

// A shift-and automaton over the places: bit j of `state` is set when the typed letters
// 0..j match the places ending here, whichever reading each place takes. `typed` holds for
// every letter the positions where it was typed. One pass, whatever the readings.
Found findInitials(const QVector<Letters>& places, const Letters (&typed)[36], int length) {
    const Letters last = Letters(1) << (length - 1);
    Letters state = 0;
    for (qsizetype i = 0; i < places.size(); ++i) {
        Letters here = 0;
        for (Letters set = places.at(i); set; set &= set - 1)
            here |= typed[qCountTrailingZeroBits(set)];
        state = ((state << 1) | 1) & here;
        // The first place a whole match can end is the one that makes it a prefix.
        if (state & last)
            return i == length - 1 ? Found::AtStart : Found::Inside;
    }
    return Found::No;
}

} // namespace

QStringList ItemMatcher::match(const QString& typed, int limit) const {
    const QString key = folded(typed).trimmed();
    if (key.isEmpty() || limit <= 0)
        return {};
    const bool byInitials =
        key.size() <= 64 && std::all_of(key.begin(), key.end(), isAsciiLetterOrDigit);
    Letters positions[36] = {};
    if (byInitials)
        for (qsizetype j = 0; j < key.size(); ++j)
            positions[bitOf(key.at(j))] |= Letters(1) << j;
    const int length = static_cast<int>(key.size());
    QStringList first;
    QStringList rest;
    for (const Key& k : keys_) {
        if (k.text.isEmpty())
            continue;
        const Found found = byInitials ? findInitials(k.places, positions, length) : Found::No;
        if (found == Found::AtStart) {
            first.append(k.text);
            if (first.size() == limit)
                break;
        } else if (rest.size() < limit && (found == Found::Inside || k.folded.contains(key))) {
            rest.append(k.text);
        }
    }
    return first + rest.mid(0, limit - first.size());
}

} // namespace Pinyin
