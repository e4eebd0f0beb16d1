#pragma once
// One item's quantity over the journal's period as a step line: the opening balance at the
// period's start, then a step at every entry. Made from the journal's rows already fetched, with
// the axes' ticks and the lookup of the step under the pointer.

#include "reports/journal.h"

#include <QDateTime>
#include <QString>
#include <QVector>

namespace Chart {

struct Step {
    QDateTime at;
    double change = 0;
    double balance = 0; // after the entry
    QString remark;
};

struct Series {
    QString item;
    QDateTime start, end; // the period
    double opening = 0;
    QVector<Step> steps;
    double low = 0, high = 0; // over the opening and every balance
};

// The item a chart can be drawn for: the one the filter names with "等于", when the listing has
// the balance column and every row is of that item; empty otherwise.
QString chartItem(const Journal::Filter& filter, const QString& itemWord,
                  const Journal::Listing& listing);

// Why no chart can be drawn for the listing, in the words of the ledger, to show on the
// disabled 走势图 button; empty when chartItem() names an item.
QString noChartReason(const Journal::Filter& filter, const Journal::Words& words,
                      const Journal::Listing& listing);

// The series of `item` from the listing's rows and opening balances, over the filter's period.
Series series(const Journal::Listing& listing, const QString& item, const Journal::Filter& filter);

// A stored time, "yyyy-mm-dd hh:mm" with or without seconds, as a UTC time; invalid when it
// has another layout.
QDateTime timeOf(const QString& tm);

// The step whose time is nearest `t`, and of several at that time the one whose balance is
// nearest `value`; -1 when there are none.
int nearestStep(const Series& s, const QDateTime& t, double value);

// The value axis: from `low` a little below the lowest value to `high` a little above the
// highest, with at most `most` round ticks (1, 2 or 5 times a power of ten apart) inside it.
// An end of the axis moves to the next round value only when that is close, so a dip to -5
// under values of 98,000 does not pull the axis down to -20,000.
struct Axis {
    double low = 0, high = 1;
    QVector<double> ticks;
};
Axis valueAxis(double low, double high, int most);

struct TimeTick {
    QDateTime at;
    QString label;
};
// Ticks at whole hours, days, months or years, no more than `most` of them between start and
// end, labelled as finely as their spacing needs.
QVector<TimeTick> timeTicks(const QDateTime& start, const QDateTime& end, int most);

// What the pointer shows on a step: time, the change, the balance after it and the remark.
QString tipText(const Step& step, const QString& slName);
// "物品走势图：钢材"
QString caption(const QString& itemWord, const QString& item);
// What heads the picture: the caption and the period, "物品走势图：钢材　时段：… — …".
QString heading(const QString& itemWord, const Series& s);

} // namespace Chart
