#include "reports/pickers.h"

#include <QRegularExpression>

namespace Pickers {

namespace {
QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}
} // namespace

QStringList items(int part, int currentYear) {
    QStringList out;
    switch (part) {
    case Year:
        for (int y = currentYear - 10; y <= currentYear + 20; ++y)
            out.append(QString::number(y));
        break;
    case Month:
        for (int m = 1; m <= 12; ++m)
            out.append(twoDigits(m));
        break;
    case Day:
        for (int d = 1; d <= 31; ++d)
            out.append(twoDigits(d));
        break;
    case Hour:
        for (int h = 0; h <= 23; ++h)
            out.append(twoDigits(h));
        break;
    default:
        for (int m = 0; m <= 59; ++m)
            out.append(twoDigits(m));
        break;
    }
    return out;
}

int fittedDayPos(int month, int year, int dayPos) {
    if (month == 4 || month == 6 || month == 9 || month == 11)
        return dayPos == 30 ? 29 : dayPos;
    if (month == 2) {
        if (dayPos > 28)
            dayPos = 28;
        // Every fourth year is a leap year here; 2100 is far enough away.
        if (dayPos > 27 && year % 4 != 0)
            dayPos = 27;
    }
    return dayPos;
}

QString stamp(const QStringList& parts) {
    return parts.value(Year) + QLatin1Char('-') + parts.value(Month) + QLatin1Char('-') +
           parts.value(Day) + QLatin1Char(' ') + parts.value(Hour) + QLatin1Char(':') +
           parts.value(Minute);
}

QStringList partsOf(const QString& tm) {
    static const QRegularExpression layout(
        QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2})(:\d{2})?$)"));
    const auto m = layout.match(tm.trimmed());
    if (!m.hasMatch())
        return {};
    return {m.captured(1), m.captured(2), m.captured(3), m.captured(4), m.captured(5)};
}

} // namespace Pickers
