#include "app/clock.h"

namespace {
QDateTime fixedNow;
}

namespace Clock {

QDateTime now() {
    return fixedNow.isValid() ? fixedNow : QDateTime::currentDateTime();
}

void set(const QDateTime& fixed) {
    fixedNow = fixed;
}

void clear() {
    fixedNow = QDateTime();
}

} // namespace Clock
