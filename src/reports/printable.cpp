#include "reports/printable.h"

#include "app/clock.h"
#include "app/mainbas.h"
#include "reports/reportcommon.h"

#include <algorithm>

namespace Print {

namespace {
const QString kGap = QStringLiteral("　");
}

bool Printable::landscape() const {
    int sum = 0;
    for (const Column& c : columns)
        sum += c.twips;
    return sum > kPortraitTwips;
}

void setHeading(Printable& p, const QString& caption) {
    p.title = title(MainBas::CurZbNm, caption);
    p.operatorName = MainBas::CurUsr;
    p.printedAt = Clock::now().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString title(const QString& ledgerName, const QString& caption) {
    return ledgerName.isEmpty() ? caption : ledgerName + kGap + caption;
}

QString period(const QString& from, const QString& to) {
    return QStringLiteral("时段：") + from + QStringLiteral(" — ") + to;
}

QString itemFilter(const QString& itemWord, const QString& item, const QString& relation) {
    const QString all = ReportCommon::allItems(itemWord);
    QString shown = item;
    if (item.isEmpty() || item == all)
        shown = all;
    else if (!relation.isEmpty())
        shown = relation + QStringLiteral("“") + item + QStringLiteral("”");
    return itemWord + QStringLiteral("：") + shown;
}

QString joinFilters(const QStringList& parts) {
    return parts.join(kGap);
}

QString footLeft(const Printable& p) {
    return QStringLiteral("操作员：") + p.operatorName + kGap + QStringLiteral("打印时间：") +
           p.printedAt;
}

QString pageText(int page, int pages) {
    return QStringLiteral("第 %1 页 / 共 %2 页").arg(page).arg(pages);
}

QVector<double> columnWidths(const Printable& p, double total,
                             const std::function<double(const QString&)>& headWidth) {
    const int n = static_cast<int>(p.columns.size());
    QVector<bool> empty(n, true);
    int open = n;
    const auto look = [&](const QStringList& cells) {
        for (int c = 0; c < n && c < cells.size(); ++c)
            if (empty[c] && !cells.at(c).isEmpty()) {
                empty[c] = false;
                --open;
            }
    };
    look(p.totals);
    for (qsizetype r = 0; r < p.rows.size() && open > 0; ++r)
        look(p.rows.at(r));
    int allTwips = 0, filledTwips = 0;
    for (int c = 0; c < n; ++c) {
        allTwips += p.columns.at(c).twips;
        filledTwips += empty[c] ? 0 : p.columns.at(c).twips;
    }
    QVector<double> widths(n, 0);
    double rest = total;
    for (int c = 0; c < n; ++c) {
        if (!empty[c])
            continue;
        // Never wider than its share of the screen's table: a long head keeps its old width.
        const double share = total * p.columns.at(c).twips / std::max(1, allTwips);
        widths[c] = filledTwips > 0 ? std::min(headWidth(p.columns.at(c).head), share) : share;
        rest -= widths[c];
    }
    for (int c = 0; c < n; ++c)
        if (!empty[c])
            widths[c] = rest * p.columns.at(c).twips / std::max(1, filledTwips);
    return widths;
}

int pageCount(int rows, bool hasTotals, int firstPage, int perPage) {
    const int lines = rows + (hasTotals ? 1 : 0);
    firstPage = std::max(1, firstPage);
    perPage = std::max(1, perPage);
    if (lines <= firstPage)
        return 1;
    return 1 + (lines - firstPage + perPage - 1) / perPage;
}

} // namespace Print
