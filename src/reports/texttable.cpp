#include "reports/texttable.h"

#include "app/format.h"
#include "app/textwidth.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace TextTable {

namespace {
constexpr int kBlankTwips = 90;
constexpr int kNumberWidth = 1000;
} // namespace

QString fontFamily() {
    return QStringLiteral("Noto Sans Mono CJK SC");
}

namespace {

// How many UTF-16 units of `text` fit in `twips`, and the width they take.
std::pair<qsizetype, int> fitting(const QString& text, int twips) {
    int used = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const QChar ch = text.at(i);
        const bool pair = ch.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate();
        const char32_t c =
            pair ? QChar::surrogateToUcs4(ch, text.at(i + 1)) : char32_t(ch.unicode());
        const int w = CharTwips(c);
        if (used + w > twips)
            break;
        used += w;
        i += pair ? 2 : 1;
    }
    return {i, used};
}

} // namespace

QString cutTo(const QString& text, int twips) {
    const qsizetype kept = fitting(text, twips).first;
    return kept == text.size() ? text : text.left(kept);
}

bool appendTextCell(QString& line, const QString& text, int width) {
    // One pass measures and cuts; the blanks that are missing go on at once.
    const auto [kept, used] = fitting(text, width);
    line.append(QStringView(text).left(kept));
    if (used < width)
        line.resize(line.size() + (width - used + kBlankTwips - 1) / kBlankTwips, QLatin1Char(' '));
    line.append(kBar);
    return kept < text.size();
}

void appendNumberCell(QString& line, double value) {
    // Whole numbers, the usual quantities, skip the general formatting.
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        char digits[24];
        const auto end =
            std::to_chars(digits, digits + sizeof digits, static_cast<long long>(value)).ptr;
        const int missing = kNumberWidth - static_cast<int>(end - digits) * kBlankTwips;
        if (missing > 0)
            line.resize(line.size() + (missing + kBlankTwips - 1) / kBlankTwips, QLatin1Char(' '));
        line.append(QLatin1StringView(digits, end - digits));
        line.append(kBar);
        return;
    }
    const QString s = NumStr(value);
    const int missing = kNumberWidth - TextTwips(s);
    if (missing > 0)
        line.append(QString((missing + kBlankTwips - 1) / kBlankTwips, QLatin1Char(' ')));
    line.append(s);
    line.append(kBar);
}

QString csvValue(const QString& value) {
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) &&
        !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    return QLatin1Char('"') + QString(value).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

bool RowBuilder::differs(const QString& value) const {
    return csvValue(value).size() != value.size() ||
           (squeeze_ && value.contains(QLatin1String("  ")));
}

void RowBuilder::text(const QString& text, int width) {
    const qsizetype from = shown_.size();
    if (appendTextCell(shown_, text, width) || differs(text))
        splices_.append({from, shown_.size() - 1, csvValue(text)});
}

void RowBuilder::number(double value) {
    appendNumberCell(shown_, value);
}

void RowBuilder::raw(const QString& text) {
    shown_ += text;
}

void RowBuilder::tail(const QString& text) {
    const qsizetype from = shown_.size();
    shown_ += text;
    if (differs(text))
        splices_.append({from, shown_.size(), csvValue(text)});
}

QString RowBuilder::whole() const {
    if (splices_.isEmpty())
        return {};
    // The padding between the values is shaped as the export shapes a shown line; the spliced
    // values go in untouched.
    const auto shaped = [this](QStringView part) {
        QString t = part.toString();
        if (squeeze_)
            t = squeezeBlanks(t);
        return t.replace(kBar, QLatin1Char(','));
    };
    QString out;
    qsizetype at = 0;
    for (const Splice& sp : splices_) {
        out += shaped(QStringView(shown_).mid(at, sp.from - at));
        out += sp.whole;
        at = sp.to;
    }
    return out + shaped(QStringView(shown_).mid(at));
}

QString padTo(const QString& text, int twips) {
    // A blank is always 90 twips: one measure of the text, then the blanks it lacks at once.
    const int missing = twips - TextTwips(text);
    if (missing <= 0)
        return text;
    return text + QString((missing + kBlankTwips - 1) / kBlankTwips, QLatin1Char(' '));
}

bool isRuleLine(const QString& line) {
    return line.startsWith(kRule);
}

QString squeezeBlanks(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (c != QLatin1Char(' ') || !out.endsWith(QLatin1Char(' ')))
            out += c;
    return out;
}

} // namespace TextTable

QString MakeNumberText(double value) {
    const QString s = NumStr(value);
    const int missing = TextTable::kNumberWidth - TextTwips(s);
    if (missing <= 0)
        return s;
    return QString((missing + TextTable::kBlankTwips - 1) / TextTable::kBlankTwips,
                   QLatin1Char(' ')) +
           s;
}

QString MakeNumberCell(double value) {
    QString s;
    TextTable::appendNumberCell(s, value);
    return s;
}

QString MakeTextCell(const QString& text, int width) {
    QString s;
    TextTable::appendTextCell(s, text, width);
    return s;
}

QString MakeRuleSegment(int kind, int width) {
    const int rule = CharTwips(TextTable::kRule.unicode());
    const int n = width > 0 ? (width + rule - 1) / rule : 0;
    const QChar end = kind == 0   ? TextTable::kTop
                      : kind == 1 ? TextTable::kMiddle
                                  : TextTable::kBottom;
    return QString(n, TextTable::kRule) + end;
}
