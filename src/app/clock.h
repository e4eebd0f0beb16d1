#pragma once
// The local clock. Tests set it so that entry times and record IDs are known in advance.

#include <QDateTime>

namespace Clock {
QDateTime now();
void set(const QDateTime& fixed); // an invalid value returns to the real clock
void clear();
} // namespace Clock
