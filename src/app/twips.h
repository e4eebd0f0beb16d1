#pragma once
// Window layouts are kept in twips, as the windows were drawn: 15 to a pixel at 96 dpi; and the
// naming of controls after the design, with an array element named by its index (Cmd_0).

#include <QString>
#include <QWidget>

namespace Twips {

constexpr int kPerPixel = 15;

constexpr int tw(int twips) {
    return twips / kPerPixel;
}

inline void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(tw(left), tw(top), tw(width), tw(height));
}

inline QString indexed(const char* name, int i) {
    return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(i);
}

template <typename T> T* named(T* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

} // namespace Twips
