#include "app/fullwidth.h"

namespace FullWidth {

namespace {

constexpr char16_t kIdeographicSpace = 0x3000;
constexpr char16_t kIdeographicFullStop = 0x3002; // "。"
constexpr char16_t kFirstFullWidth = 0xFF01;      // "！", the full-width "!"
constexpr char16_t kLastFullWidth = 0xFF5E;       // "～"
constexpr char16_t kFullWidthOffset = kFirstFullWidth - u'!';

QChar halfWidth(QChar c) {
    const char16_t u = c.unicode();
    if (u == kIdeographicSpace)
        return QLatin1Char(' ');
    if (u >= kFirstFullWidth && u <= kLastFullWidth)
        return QChar(static_cast<char16_t>(u - kFullWidthOffset));
    return c;
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ');
}

bool isSign(QChar c) {
    return c == QLatin1Char('+') || c == QLatin1Char('-');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isNumberChar(QChar c) {
    return isDigit(c) || c == QLatin1Char('.');
}

// Converts the characters from `at` on while their ASCII forms pass `accepts`, at most `most`.
template <typename Accepts>
qsizetype convertRun(QString& text, qsizetype at, Accepts accepts, qsizetype most = -1) {
    for (; at < text.size() && most != 0 && accepts(halfWidth(text.at(at))); ++at, --most)
        text[at] = halfWidth(text.at(at));
    return at;
}

} // namespace

QString toHalfWidth(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        c = halfWidth(c);
    return out;
}

QString numberToAscii(const QString& text) {
    QString out = text;
    qsizetype at = convertRun(out, 0, isBlank);
    at = convertRun(out, at, isSign, 1);
    at = convertRun(out, at, isNumberChar);
    // The input method in Chinese mode types "，" and "。" for the comma and the point: between
    // digits they belong to the number ("１，０００", "１０。５").
    while (at > 0 && at + 1 < out.size() && isDigit(out.at(at - 1)) &&
           isDigit(halfWidth(out.at(at + 1)))) {
        const QChar c = halfWidth(out.at(at));
        if (c == QLatin1Char(','))
            out[at] = c;
        else if (c == QLatin1Char('.') || out.at(at).unicode() == kIdeographicFullStop)
            out[at] = QLatin1Char('.');
        else
            break;
        at = convertRun(out, at + 1, isNumberChar);
    }
    convertRun(out, at, isBlank);
    return out;
}

} // namespace FullWidth
