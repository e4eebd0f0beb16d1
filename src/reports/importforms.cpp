#include "reports/importforms.h"

#include "app/format.h"
#include "app/fullwidth.h"

#include <QRegularExpression>
#include <QVarLengthArray>

#include <charconv>
#include <cmath>

namespace Import {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

qsizetype skipDigits(QStringView s, qsizetype i) {
    while (i < s.size() && isDigit(s[i]))
        ++i;
    return i;
}

// [+-] digits [. digits] [e [+-] digits], with a digit before or after the point. `rounds`: the
// value may show otherwise than written (an exponent, more than eight decimals).
bool isDecimal(QStringView s, bool* rounds) {
    qsizetype i = !s.isEmpty() && (s[0] == u'+' || s[0] == u'-') ? 1 : 0;
    const qsizetype whole = skipDigits(s, i) - i;
    i += whole;
    qsizetype decimals = 0;
    if (i < s.size() && s[i] == u'.') {
        decimals = skipDigits(s, i + 1) - (i + 1);
        i += 1 + decimals;
    }
    if (whole + decimals == 0)
        return false;
    *rounds = decimals > 8;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
            ++i;
        const qsizetype exponent = skipDigits(s, i) - i;
        if (exponent == 0)
            return false;
        i += exponent;
        *rounds = true;
    }
    return i == s.size();
}

// "1,000", "-12,345.5": a comma before every group of three digits of the whole part.
bool isGrouped(QStringView s) {
    qsizetype i = !s.isEmpty() && (s[0] == u'+' || s[0] == u'-') ? 1 : 0;
    qsizetype group = skipDigits(s, i) - i;
    if (group < 1 || group > 3)
        return false;
    i += group;
    int commas = 0;
    for (; i < s.size() && s[i] == u','; ++commas) {
        group = skipDigits(s, i + 1) - (i + 1);
        if (group != 3)
            return false;
        i += 4;
    }
    if (i < s.size() && s[i] == u'.')
        i = skipDigits(s, i + 1);
    return commas > 0 && i == s.size();
}

// The value of a text isDecimal accepted, read the same in every locale; infinite when too
// large for a double, 0 when too small.
double decimalValue(QStringView s) {
    QVarLengthArray<char, 64> ascii;
    for (QChar c : s.startsWith(u'+') ? s.mid(1) : s)
        ascii.append(static_cast<char>(c.unicode()));
    double v = 0;
    const auto r = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
    if (r.ec != std::errc::result_out_of_range)
        return v;
    // Too small when its exponent is negative, or without one when its whole part is zeros.
    const qsizetype e = std::max(s.indexOf(u'e'), s.indexOf(u'E'));
    bool small = e >= 0 && s.mid(e + 1).startsWith(u'-');
    if (e < 0) {
        small = true;
        for (QChar c : s.left(s.indexOf(u'.') >= 0 ? s.indexOf(u'.') : s.size()))
            small = small && (c < u'1' || c > u'9');
    }
    return small ? 0.0 : s.startsWith(u'-') ? -HUGE_VAL : HUGE_VAL;
}

// Hyphens joined as a typed entry joins them; most texts have none to join.
} // namespace

NumberForm readNumber(const QString& cell, double* value) {
    QString s = cell;
    for (QChar c : cell)
        if (c.unicode() >= 0x80) {
            s = FullWidth::toHalfWidth(cell);
            s.remove(QChar(0xA5));
            s.remove(QChar(0xFFE5));
            break;
        }
    s = s.trimmed();
    if (s.isEmpty())
        return NumberForm::Empty;
    if (s.contains(QLatin1Char(','))) {
        if (!isGrouped(s))
            return NumberForm::NotNumber;
        s.remove(QLatin1Char(','));
    }
    bool rounds = false;
    if (!isDecimal(s, &rounds))
        return NumberForm::NotNumber;
    const double v = decimalValue(s);
    if (std::isinf(v))
        return NumberForm::OutOfRange;
    // What rounds away as the lists show numbers is 0.
    *value = rounds ? NumStr(v).toDouble() : v;
    return NumberForm::Ok;
}

bool readTime(const QString& cell, QDate* date, QTime* time) {
    const QString t = FullWidth::toHalfWidth(cell).trimmed();
    const auto at = [&t](int i, int n) { return QStringView(t).mid(i, n).toInt(); };
    // "yyyy-mm-dd hh:mm" as the journal writes it, without the general pattern's cost.
    if (t.size() == 16 && t[4] == u'-' && t[7] == u'-' && t[10] == u' ' && t[13] == u':' &&
        skipDigits(t, 0) == 4 && skipDigits(t, 5) == 7 && skipDigits(t, 8) == 10 &&
        skipDigits(t, 11) == 13 && skipDigits(t, 14) == 16) {
        *date = QDate(at(0, 4), at(5, 2), at(8, 2));
        *time = QTime(at(11, 2), at(14, 2));
    } else {
        static const QRegularExpression form(QStringLiteral(
            R"(^(\d{4})\s*[-/.年]\s*(\d{1,2})\s*[-/.月]\s*(\d{1,2})\s*日?(?:[\sT]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?$)"));
        const auto m = form.match(t);
        if (!m.hasMatch())
            return false;
        *date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        *time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    }
    return date->isValid() && time->isValid() && date->year() >= 2000 && date->year() <= 2070;
}

} // namespace Import
