#include "app/format.h"

#include "app/clock.h"

#include <QRegularExpression>
#include <QStringList>

#include <charconv>
#include <cmath>

QString DateStr(const QDate& value) {
    return QString::number(value.year()) + QLatin1Char('-') +
           QStringLiteral("%1").arg(value.month(), 2, 10, QLatin1Char('0')) + QLatin1Char('-') +
           QStringLiteral("%1").arg(value.day(), 2, 10, QLatin1Char('0'));
}

QString DateStr(const QDateTime& value) {
    return DateStr(value.date());
}

QString TimeStr() {
    return Clock::now().time().toString(QStringLiteral("HH:mm"));
}

QString shortestDecimal(double v) {
    if (std::isnan(v) || std::isinf(v))
        return QString::number(v);
    char buf[512];
    const double mag = std::fabs(v);
    const auto format = (mag != 0.0 && (mag < 1e-12 || mag >= 1e21)) ? std::chars_format::general
                                                                     : std::chars_format::fixed;
    const auto res = std::to_chars(buf, buf + sizeof buf, v, format);
    if (res.ec != std::errc())
        return QString::number(v, 'g', 17);
    QString text = QString::fromLatin1(buf, static_cast<int>(res.ptr - buf));
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

QString trimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString NumStr(double v) {
    // Float dust such as 0.3 - 0.1 - 0.2 must read 0, never as exponent text.
    if (std::fabs(v) < 1e-8)
        return QStringLiteral("0");
    QString text = shortestDecimal(v);
    const int point = text.indexOf(QLatin1Char('.'));
    if (point >= 0 && !text.contains(QLatin1Char('e')) && text.size() - point - 1 > 8) {
        const double rounded = QString::number(v, 'f', 8).toDouble();
        text = shortestDecimal(rounded);
    }
    QString sign;
    if (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) {
        sign = text.left(1);
        text.remove(0, 1);
    }
    if (text.startsWith(QLatin1Char('.')))
        text.prepend(QLatin1Char('0'));
    return sign + text;
}

namespace {

QDateTime midnightToday() {
    return QDateTime(Clock::now().date(), QTime(0, 0));
}

// Year-month-day with "-" or "/", leading zeros optional, optional hh:mm[:ss].
QDateTime platformDate(const QString& text) {
    static const QRegularExpression re(QStringLiteral(
        R"(^(\d{4})[-/](\d{1,2})[-/](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return {};
    QTime time(0, 0);
    if (m.capturedLength(4) > 0) {
        time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        if (!time.isValid())
            return {};
    }
    return QDateTime(date, time);
}

// Shortens runs of blanks as the date reader always has: two passes of double to single.
QString squeezeBlanks(QString text) {
    for (int pass = 0; pass < 2; ++pass)
        text.replace(QStringLiteral("  "), QStringLiteral(" "));
    return text.trimmed();
}

QString firstToken(const QString& text) {
    return text.section(QLatin1Char(' '), 0, 0);
}

QString afterFirstToken(const QString& text) {
    const int blank = text.indexOf(QLatin1Char(' '));
    return blank < 0 ? QString() : text.mid(blank + 1).trimmed();
}

} // namespace

QDateTime ParseDate(QString& text) {
    text = CleanStr(text);
    if (text.isEmpty())
        return midnightToday();
    const QDateTime direct = platformDate(text);
    if (direct.isValid())
        return direct;

    QString digits = text;
    for (QChar& c : digits)
        if (!c.isDigit() || c.unicode() > 127)
            c = QLatin1Char(' ');
    digits = squeezeBlanks(digits);

    QString year;
    QString rest;
    bool yearFirst = false;
    for (int y = 2000; y <= 2029; ++y) {
        const QString candidate = QString::number(y);
        if (digits.contains(candidate)) {
            year = candidate;
            yearFirst = digits.startsWith(candidate);
            rest = QString(digits).remove(candidate).trimmed();
            break;
        }
    }
    if (year.isEmpty()) {
        if (digits.indexOf(QLatin1Char(' '), 1) < 0)
            return midnightToday();
        QString token = firstToken(digits);
        if (token.size() > 2)
            token = token.right(2);
        year =
            QStringLiteral("20") + QStringLiteral("%1").arg(token.toInt(), 2, 10, QLatin1Char('0'));
        yearFirst = true;
        rest = afterFirstToken(digits);
    }
    if (rest.isEmpty())
        rest = QStringLiteral("1 1");
    rest = squeezeBlanks(rest);
    const QString partA = firstToken(rest);
    QString partB = afterFirstToken(rest);
    if (partB.isEmpty())
        partB = QStringLiteral("1");
    partB = firstToken(partB);
    const int a = partA.toInt();
    const int b = partB.toInt();
    const QDate date = yearFirst ? QDate(year.toInt(), a, b) : QDate(year.toInt(), b, a);
    // A text that names no real day reads as today rather than failing the caller's event.
    return date.isValid() ? QDateTime(date, QTime(0, 0)) : midnightToday();
}

QString CleanStr(const QString& text) {
    QString s = trimBlanks(text);
    s.remove(QLatin1Char('\''));
    s.remove(QChar(10));
    s.remove(QChar(13));
    s.replace(QLatin1Char(','), QChar(0xFF0C));
    s.replace(QChar(0x2502), QLatin1Char('|'));
    s.replace(QChar(0x2500), QLatin1Char('-'));
    return s;
}

QString exportFileName(const QString& ledger, const QString& report, const QDate& day,
                       const QString& suffix) {
    QStringList parts;
    for (const QString& part : {ledger, report}) {
        QString p = part.trimmed();
        for (QChar& c : p)
            if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|：").contains(c))
                c = QLatin1Char('-');
        if (!p.isEmpty())
            parts.append(p);
    }
    parts.append(DateStr(day));
    return parts.join(QLatin1Char('-')) + suffix;
}
