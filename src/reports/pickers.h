#pragma once
// The date-part pickers of the report windows: year, month, day, hour, minute, each a list of
// texts whose value is the part, and the rule that keeps the chosen day inside its month.

#include <QString>
#include <QStringList>

namespace Pickers {

enum Part { Year = 0, Month = 1, Day = 2, Hour = 3, Minute = 4 };

// Years from ten before to twenty after `currentYear`; months and days from 1, hours and
// minutes from 0; all but the year as two digits.
QStringList items(int part, int currentYear);

// The day position (day − 1) to select for `dayPos` under `month` of `year`: day 31 of a
// 30-day month becomes 30, February ends at 29, or 28 when the year is not divisible by 4.
int fittedDayPos(int month, int year, int dayPos);

// "yyyy-mm-dd hh:mm" from the five picker texts.
QString stamp(const QStringList& parts);

// The five picker texts of a stored time "yyyy-mm-dd hh:mm[:ss]"; empty when `tm` does not
// have that layout.
QStringList partsOf(const QString& tm);

} // namespace Pickers
