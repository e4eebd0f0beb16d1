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

int pageCount(int rows, bool hasTotals, int firstPage, int perPage) {
    const int lines = rows + (hasTotals ? 1 : 0);
    firstPage = std::max(1, firstPage);
    perPage = std::max(1, perPage);
    if (lines <= firstPage)
        return 1;
    return 1 + (lines - firstPage + perPage - 1) / perPage;
}

} // namespace Print
