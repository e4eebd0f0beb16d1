#include "app/pinyin.h"

#include "app/fullwidth.h"

#include <QHash>

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace Pinyin {

namespace {

// Characters whose reading in goods and account names is not the one ICU gives first.
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

// The program asks from its one user-interface thread only.
QString charInitials(char32_t c) {
    static QHash<char32_t, QString> known;
    const auto it = known.constFind(c);
    if (it != known.constEnd())
        return *it;
    const QString made = QChar::script(c) == QChar::Script_Han ? hanInitial(c) : otherInitials(c);
    known.insert(c, made);
    return made;
}

} // namespace

QString initials(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            if (isAsciiLetterOrDigit(c))
                out += asciiLower(c);
            continue;
        }
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(c, text.at(++i));
        out += charInitials(code);
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
        keys.append({item, folded(item), initials(item)});
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

QStringList ItemMatcher::match(const QString& typed, int limit) const {
    const QString key = folded(typed).trimmed();
    if (key.isEmpty() || limit <= 0)
        return {};
    const bool byInitials = std::all_of(key.begin(), key.end(), isAsciiLetterOrDigit);
    QStringList first;
    QStringList rest;
    for (const Key& k : keys_) {
        if (k.text.isEmpty())
            continue;
        if (byInitials && k.initials.startsWith(key)) {
            first.append(k.text);
            if (first.size() == limit)
                break;
        } else if (rest.size() < limit &&
                   (k.folded.contains(key) || (byInitials && k.initials.contains(key)))) {
            rest.append(k.text);
        }
    }
    return first + rest.mid(0, limit - first.size());
}

} // namespace Pinyin
