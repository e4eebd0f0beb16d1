#pragma once
// The number and time forms of an imported cell.

#include <QDate>
#include <QString>
#include <QTime>

namespace Import {

// Number and time forms of a cell.
enum class NumberForm { Ok, Empty, NotNumber, OutOfRange };
// "1,000", "＋１０", "+5", "¥12.50", "1e3"; the value rounded as NumStr shows it.
NumberForm readNumber(const QString& cell, double* value);
// "2026-03-01", "2026/3/1 9:05", "2026年3月1日 09:05:30"; years 2000 to 2070.
bool readTime(const QString& cell, QDate* date, QTime* time);

} // namespace Import
