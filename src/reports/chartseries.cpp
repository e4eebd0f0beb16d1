#include "reports/chartseries.h"

#include "app/format.h"
#include "reports/pickers.h"
#include "reports/reportcommon.h"

#include <algorithm>
#include <cmath>

namespace Chart {

QString chartItem(const Journal::Filter& filter, const QString& itemWord,
                  const Journal::Listing& listing) {
    const QString item = filter.exactItem ? filter.item : CleanStr(filter.item);
    if (filter.relation != 0 || item.isEmpty() || item == ReportCommon::allItems(itemWord) ||
        !listing.showBalance || listing.rows.isEmpty())
        return {};
    // A server that compares names without regard to case may list two spellings.
    const QString listed = listing.rows.constFirst().item;
    for (const Journal::Row& r : listing.rows)
        if (r.item != listed)
            return {};
    return listed;
}

QString noChartReason(const Journal::Filter& filter, const Journal::Words& words,
                      const Journal::Listing& listing) {
    const QString one = QStringLiteral("走势图画的是一个") + words.itemWord;
    const QString item = filter.exactItem ? filter.item : CleanStr(filter.item);
    if (listing.status != Journal::Listing::Listed || listing.rows.isEmpty())
        return one + QStringLiteral("的") + words.slName + QStringLiteral("变化：请先选定这个") +
               words.itemWord + QStringLiteral("，统计出它的账目");
    if (filter.relation != 0)
        return one + QStringLiteral("：请把“包含”改为“等于”");
    if (item.isEmpty() || item == ReportCommon::allItems(words.itemWord))
        return one + QStringLiteral("：请选择或输入一个") + words.itemWord +
               QStringLiteral("再统计");
    if (!listing.showBalance)
        return QStringLiteral("走势图要用") + words.slName + QStringLiteral("列：请按") +
               words.itemWord + QStringLiteral("排序，选“增减”，并且不按备注或操作员筛选");
    if (chartItem(filter, words.itemWord, listing).isEmpty())
        return QStringLiteral("所列账目不止一个") + words.itemWord +
               QStringLiteral("（名称的写法不同）");
    return {};
}

QDateTime timeOf(const QString& tm) {
    // Read by hand: a format parse per step is most of the cost of a long series. The stamps
    // are wall-clock times without a zone; as UTC their distances ignore daylight saving.
    const auto number = [&tm](int at, int len) {
        int v = 0;
        for (int i = at; i < at + len; ++i) {
            if (i >= tm.size() || !tm.at(i).isDigit())
                return -1;
            v = v * 10 + tm.at(i).digitValue();
        }
        return v;
    };
    const bool seconds = tm.size() >= 19 && tm.at(16) == QLatin1Char(':');
    const QDate d(number(0, 4), number(5, 2), number(8, 2));
    const QTime t(number(11, 2), number(14, 2), seconds ? number(17, 2) : 0);
    if (tm.size() < 16 || !d.isValid() || !t.isValid())
        return {};
    return QDateTime(d, t, Qt::UTC);
}

Series series(const Journal::Listing& listing, const QString& item, const Journal::Filter& filter) {
    Series s;
    s.item = item;
    s.start = timeOf(Pickers::stamp(filter.from));
    s.end = timeOf(Pickers::stamp(filter.to));
    s.opening = listing.openings.value(item, 0);
    s.low = s.high = s.opening;
    double balance = s.opening;
    for (const Journal::Row& r : listing.rows) {
        if (r.item != item)
            continue;
        balance += r.sl;
        s.steps.append({timeOf(r.tm), r.sl, balance, r.bz});
        s.low = std::min(s.low, balance);
        s.high = std::max(s.high, balance);
    }
    return s;
}

int nearestStep(const Series& s, const QDateTime& t, double value) {
    if (s.steps.isEmpty())
        return -1;
    const auto later = std::lower_bound(s.steps.begin(), s.steps.end(), t,
                                        [](const Step& a, const QDateTime& b) { return a.at < b; });
    int i = static_cast<int>(later - s.steps.begin());
    if (i == s.steps.size() ||
        (i > 0 && s.steps.at(i - 1).at.msecsTo(t) < t.msecsTo(s.steps.at(i).at)))
        --i;
    // Entries of one minute share a place on the time axis: the value tells them apart.
    const QDateTime at = s.steps.at(i).at;
    int best = i;
    for (int j = i; j >= 0 && s.steps.at(j).at == at; --j)
        if (std::abs(s.steps.at(j).balance - value) < std::abs(s.steps.at(best).balance - value))
            best = j;
    for (int j = i; j < s.steps.size() && s.steps.at(j).at == at; ++j)
        if (std::abs(s.steps.at(j).balance - value) < std::abs(s.steps.at(best).balance - value))
            best = j;
    return best;
}

Axis valueAxis(double low, double high, int most) {
    if (high < low)
        std::swap(low, high);
    if (high - low < 1e-9) {
        low -= 1;
        high += 1;
    }
    most = std::max(2, most);
    // Room above and below the line, so that its highest and lowest steps stay off the frame.
    const double margin = (high - low) * 0.05;
    const double rough = (high - low + 2 * margin) / (most - 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    Axis axis;
    for (double f : {1.0, 2.0, 5.0, 10.0, 20.0}) {
        const double step = f * power;
        axis = {low - margin, high + margin, {}};
        // An end within the margin's reach of a round value is drawn at that value.
        const double roundLow = std::floor(axis.low / step) * step;
        if (axis.low - roundLow <= margin)
            axis.low = roundLow;
        const double roundHigh = std::ceil(axis.high / step) * step;
        if (roundHigh - axis.high <= margin)
            axis.high = roundHigh;
        const double first = std::ceil(axis.low / step - 1e-9);
        const double last = std::floor(axis.high / step + 1e-9);
        if (last - first + 1 > most)
            continue;
        for (double k = first; k <= last; k += 1)
            axis.ticks.append(k == 0 ? 0.0 : k * step);
        break;
    }
    return axis;
}

namespace {

struct Spacing {
    qint64 secs; // 0 for calendar months
    int months;
    const char* label;
};

// From the finest to the coarsest; the first that keeps the count within bounds is used.
const Spacing kSpacings[] = {
    {3600, 0, "MM-dd HH:mm"},
    {3 * 3600, 0, "MM-dd HH:mm"},
    {6 * 3600, 0, "MM-dd HH:mm"},
    {12 * 3600, 0, "MM-dd HH:mm"},
    {86400, 0, "MM-dd"},
    {2 * 86400, 0, "MM-dd"},
    {7 * 86400, 0, "MM-dd"},
    {14 * 86400, 0, "MM-dd"},
    {0, 1, "yyyy-MM"},
    {0, 3, "yyyy-MM"},
    {0, 6, "yyyy-MM"},
    {0, 12, "yyyy"},
};

QDateTime firstAfter(const QDateTime& start, const Spacing& sp) {
    const QDate d = start.date();
    if (sp.months > 0) {
        QDate first(d.year(), d.month(), 1);
        if (sp.months == 12)
            first = QDate(d.year(), 1, 1);
        QDateTime t(first, QTime(0, 0), start.timeSpec());
        return t < start ? t.addMonths(sp.months) : t;
    }
    const QDateTime midnight(d, QTime(0, 0), start.timeSpec());
    const qint64 into = midnight.secsTo(start);
    const qint64 step = std::min<qint64>(sp.secs, 86400);
    return midnight.addSecs((into + step - 1) / step * step);
}

} // namespace

QVector<TimeTick> timeTicks(const QDateTime& start, const QDateTime& end, int most) {
    QVector<TimeTick> ticks;
    if (!start.isValid() || !end.isValid() || end <= start)
        return ticks;
    for (const Spacing& sp : kSpacings) {
        ticks.clear();
        for (QDateTime t = firstAfter(start, sp); t <= end && ticks.size() <= most;
             t = sp.months ? t.addMonths(sp.months) : t.addSecs(sp.secs))
            ticks.append({t, t.toString(QString::fromLatin1(sp.label))});
        if (ticks.size() <= most)
            return ticks;
    }
    return ticks.mid(0, most);
}

QString tipText(const Step& step, const QString& slName) {
    QString tip = step.at.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QLatin1Char('\n') +
                  (step.change >= 0 ? QStringLiteral("增加 ") + NumStr(step.change)
                                    : QStringLiteral("减少 ") + NumStr(-step.change)) +
                  QLatin1Char('\n') + slName + QLatin1Char(' ') + NumStr(step.balance);
    if (!step.remark.isEmpty())
        tip += QLatin1Char('\n') + step.remark;
    return tip;
}

QString caption(const QString& itemWord, const QString& item) {
    return itemWord + QStringLiteral("走势图：") + item;
}

QString heading(const QString& itemWord, const Series& s) {
    const QString form = QStringLiteral("yyyy-MM-dd HH:mm");
    return caption(itemWord, s.item) + QStringLiteral("　时段：") + s.start.toString(form) +
           QStringLiteral(" — ") + s.end.toString(form);
}

} // namespace Chart
