#include "reports/reportcommon.h"

#include "admin/rights.h"
#include "app/mainbas.h"
#include "db/secure.h"

namespace ReportCommon {

QString allItems(const QString& itemWord) {
    return QStringLiteral("全部") + itemWord;
}

QStringList itemChoices(const QStringList& items, const QString& itemWord, bool withAll) {
    QStringList out;
    if (withAll)
        out.append(allItems(itemWord));
    out.append(QString());
    out.append(items);
    return out;
}

QStringList itemsFromRows() {
    QStringList out;
    for (int i = 1; i < MainBas::SqlRowMax; ++i) {
        const QString item = MainBas::SqlRows(i, 0);
        if (!item.isEmpty())
            out.append(item);
    }
    return out;
}

QString itemListStatement(const QString& zbid) {
    return QStringLiteral("select  Item from Zhang where Zbid='") + zbid +
           QStringLiteral("' group by Item");
}

bool mayExport(const QString& qx) {
    return Rights::has(qx, Rights::Export);
}

QString noData() {
    return QStringLiteral("没有符合条件的数据！");
}

QString connectFailedRetry() {
    return QStringLiteral("连接服务器失败，请重试！");
}

QString queryFailed() {
    if (Db::operatorRemoved(MainBas::CurZbID, MainBas::CurUsr))
        return QStringLiteral("服务器已经删除【") + MainBas::CurUsr +
               QStringLiteral("】这个操作员！");
    return connectFailedRetry();
}

QString hintTitle() {
    return QStringLiteral("提示");
}

} // namespace ReportCommon
