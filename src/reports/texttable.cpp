#include "reports/texttable.h"

#include "app/format.h"
#include "app/textwidth.h"

namespace TextTable {

namespace {
constexpr int kBlankTwips = 90;
constexpr int kNumberWidth = 1000;
} // namespace

QString fontFamily() {
    return QStringLiteral("Noto Sans Mono CJK SC");
}

QString cutTo(const QString& text, int twips) {
    int used = 0;
    int i = 0;
    while (i < text.size()) {
        const bool pair =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                                : char32_t(text.at(i).unicode());
        const int w = CharTwips(c);
        if (used + w > twips)
            break;
        used += w;
        i += pair ? 2 : 1;
    }
    return i == text.size() ? text : text.left(i);
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
    return MakeNumberText(value) + TextTable::kBar;
}

QString MakeTextCell(const QString& text, int width) {
    return TextTable::padTo(TextTable::cutTo(text, width), width) + TextTable::kBar;
}

QString MakeRuleSegment(int kind, int width) {
    const int rule = CharTwips(TextTable::kRule.unicode());
    const int n = width > 0 ? (width + rule - 1) / rule : 0;
    const QChar end = kind == 0   ? TextTable::kTop
                      : kind == 1 ? TextTable::kMiddle
                                  : TextTable::kBottom;
    return QString(n, TextTable::kRule) + end;
}
