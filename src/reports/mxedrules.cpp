#include "reports/mxedrules.h"

#include "app/format.h"
#include "app/fullwidth.h"
#include "db/sqlaccess.h"
#include "main_window/entry.h"
#include "reports/journal.h"
#include "reports/likeclause.h"
#include "reports/reportcommon.h"

#include <QRegularExpression>

namespace MxEdRules {

namespace {

Checked refuse(Checked c, const QString& message, const QString& title = QString()) {
    c.accepted = false;
    c.message = message;
    c.title = title;
    return c;
}

QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString dayPrefix(const Stamp& s) {
    return QChar(s.year - 1948) + twoDigits(s.month) + twoDigits(s.day);
}

} // namespace

Checked check(const Input& in) {
    Checked c;
    c.item = CleanStr(in.item);
    if (c.item.isEmpty())
        return refuse(c, QStringLiteral("请输入或选择") + in.itemWord + QStringLiteral("！"),
                      ReportCommon::hintTitle());
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)$)"));
    const QString typed = trimBlanks(FullWidth::numberToAscii(in.change));
    bool ok = number.match(typed).hasMatch();
    // The value as the box will show it: what rounds to 0 is refused, not stored as a speck.
    c.value = ok ? NumStr(typed.toDouble(&ok)).toDouble() : 0;
    if (!ok || c.value == 0)
        return refuse(c, QStringLiteral("请输入") + in.changeLabel + QStringLiteral("的数值！"));
    c.changeText = changeTextOf(c.value);
    c.item = Entry::joinDashes(c.item);
    const QString all = ReportCommon::allItems(in.itemWord);
    if (c.item.contains(all, Qt::CaseInsensitive))
        return refuse(
            c, in.itemWord + QStringLiteral("中不能包含“") + all + QStringLiteral("”这样的词！"),
            ReportCommon::hintTitle());
    c.remark = Entry::joinDashes(CleanStr(in.remark));
    c.accepted = true;
    return c;
}

QString changeTextOf(double value) {
    const QString s = NumStr(value);
    return value >= 0 ? QLatin1Char('+') + s : s;
}

QString recordIdAt(const Stamp& s) {
    const int hundredths = ((s.hour * 60 + s.minute) * 60 + s.second) * 100 + s.hundredth;
    return dayPrefix(s) + QStringLiteral("%1").arg(hundredths, 7, 10, QLatin1Char('0'));
}

void step(Stamp& s) {
    if (s.hundredth < 99) {
        ++s.hundredth;
        return;
    }
    s.hundredth = 0;
    if (s.second < 59) {
        ++s.second;
        return;
    }
    s.second = 0;
    if (s.minute < 59) {
        ++s.minute;
        return;
    }
    s.minute = 0;
    if (s.hour <= 22)
        ++s.hour;
}

QString takenIdsStatement(const QString& zbid, const QString& from, int limit) {
    // Retired rows of the ledger keep the ledger id inside their marker, so a pattern finds them.
    return QStringLiteral("select top ") + QString::number(limit) +
           QStringLiteral(" ID from Zhang where ") +
           Like::containsClause(QStringLiteral("ZBID"), zbid) + QStringLiteral(" and ID>='") +
           from + QStringLiteral("' and ID<='") + from.left(5) +
           QStringLiteral("9999999' order by ID");
}

QString freeId(Stamp& s, const QString& zbid, IdQuery runQuery) {
    // One statement reads the next hundred ids in use; the walk goes on in memory and asks
    // again only when it leaves what was read.
    for (int round = 0; round < 1000; ++round) {
        const QString from = recordIdAt(s);
        QStringList ids;
        if (!runQuery(takenIdsStatement(zbid, from, kTakenChunk), &ids))
            return {};
        const QSet<QString> taken(ids.begin(), ids.end());
        const QString last = ids.isEmpty() ? from : ids.last();
        const bool all = ids.size() < kTakenChunk;
        QString id = from;
        for (int n = 0; n <= kTakenChunk && taken.contains(id); ++n) {
            step(s);
            id = recordIdAt(s);
        }
        if (!taken.contains(id) && id >= from && (all || id <= last))
            return id;
    }
    return {};
}

QString recordStatement(const QString& zbid, const QString& id) {
    return QStringLiteral("select Tm,Item,SL,Bz from Zhang Where ZBID='") + zbid +
           QStringLiteral("' and ID='") + SqlStr(id) + QLatin1Char('\'');
}

QString insertStatement(const QString& zbid, const QString& usr, const QString& tm,
                        const QString& id, const Checked& c) {
    return Entry::insertStatement(zbid, usr, tm, id, c.item, c.value, c.remark);
}

QString retireEdited(const QString& newId, const QString& zbid, const QString& stamp,
                     const QString& editId) {
    return QStringLiteral("update Zhang Set ZBID='") + Journal::marker(newId, zbid, stamp) +
           QStringLiteral("'  where ZBID='") + zbid + QStringLiteral("' and ID='") +
           SqlStr(editId) + QLatin1Char('\'');
}

QString deletedMessage(const QString& journalCaption) {
    return QStringLiteral("您要修改的记录已经被删除！\n\n请返回") + journalCaption +
           QStringLiteral("重新【统计】再进行修改！");
}

QString connectFailed() {
    return QStringLiteral("连接服务器失败！");
}

QString unreadableTime(const QString& stored) {
    return QStringLiteral("这条记录保存的时间“") + stored +
           QStringLiteral("”无法识别，保存时将使用上面选择的时间。");
}

QString savedText(const QString& changeText) {
    return changeText + QStringLiteral(" 已保存！");
}

QString keepOpenCaption() {
    return QStringLiteral("保存后不关闭本窗口，以便继续补录");
}

} // namespace MxEdRules
