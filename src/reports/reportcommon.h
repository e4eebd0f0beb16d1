#pragma once
// Texts and rules the report windows share: the item choice list, the export right, their
// common messages.

#include <QString>
#include <QStringList>

namespace ReportCommon {

// "全部" + the item word: the choice that adds no item filter.
QString allItems(const QString& itemWord);

// The item drop-down: with `withAll` "全部…" first, then an empty line, then `items` as given.
QStringList itemChoices(const QStringList& items, const QString& itemWord, bool withAll);
// The summary table's own list: the non-empty first-column values of the last query's rows.
QStringList itemsFromRows();
// "select  Item from Zhang where Zbid='…' group by Item"
QString itemListStatement(const QString& zbid);

// Right 8 of the rights word.
bool mayExport(const QString& qx);

QString noData();             // "没有符合条件的数据！"
QString connectFailedRetry(); // "连接服务器失败，请重试！"
// After a report's query failed: connectFailedRetry, or, when the operator at work has been
// removed from a secure server meanwhile, "服务器已经删除【…】这个操作员！".
QString queryFailed();
QString hintTitle(); // "提示"

} // namespace ReportCommon
