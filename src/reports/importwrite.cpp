#include "reports/importwrite.h"

#include "admin/rights.h"
#include "app/clock.h"
#include "app/format.h"
#include "app/mainbas.h"
#include "db/sqlaccess.h"
#include "db/sqlfailure.h"
#include "reports/likeclause.h"
#include "reports/mxedrules.h"

#include <QHash>

namespace Import {

namespace {

constexpr int kHundredthsPerDay = 24 * 60 * 60 * 100;

MxEdRules::Stamp dayStamp(const QDate& d) {
    MxEdRules::Stamp s;
    s.year = d.year();
    s.month = d.month();
    s.day = d.day();
    return s;
}

// "yyyy-mm-dd hh:mm" and the seconds of a line's own time.
MxEdRules::Stamp stampOf(const Line& l) {
    const auto at = [&l](int i, int n) { return QStringView(l.tm).mid(i, n).toInt(); };
    MxEdRules::Stamp s;
    s.year = at(0, 4);
    s.month = at(5, 2);
    s.day = at(8, 2);
    s.hour = at(11, 2);
    s.minute = at(14, 2);
    s.second = l.second;
    return s;
}

QString dayPrefix(const MxEdRules::Stamp& s) {
    return MxEdRules::recordIdAt(s).left(5);
}

QString idAt(const QString& prefix, int hundredths) {
    QString id = prefix;
    id.resize(prefix.size() + 7);
    for (qsizetype i = id.size() - 1; i >= prefix.size(); --i, hundredths /= 10)
        id[i] = QChar(u'0' + hundredths % 10);
    return id;
}

// Free hundredths of `today` for the lines without their own time: before `now` first, going
// back, then from `now` on; in ascending order.
QStringList freeOfToday(int count, const QDate& today, const QTime& now,
                        const QSet<QString>& taken) {
    const QString prefix = dayPrefix(dayStamp(today));
    const int at = now.msecsSinceStartOfDay() / 10;
    QStringList before, after;
    for (int h = at - 1; h >= 0 && before.size() < count; --h)
        if (!taken.contains(idAt(prefix, h)))
            before.append(idAt(prefix, h));
    std::reverse(before.begin(), before.end());
    for (int h = at; h < kHundredthsPerDay && before.size() + after.size() < count; ++h)
        if (!taken.contains(idAt(prefix, h)))
            after.append(idAt(prefix, h));
    return before + after;
}

QString noRoom(const QString& day) {
    return day + QStringLiteral("这一天已经没有空闲的记录编号");
}

// After a failed batch: the last row is there as written only when the commit went through
// and just its answer was lost.
bool committedAfterAll(const QString& zbid, const QString& usr, const Line& last,
                       const QString& lastId) {
    using MainBas::SqlRows;
    const QString n =
        RunSql(QStringLiteral("select USR,ITEM,SL from Zhang where ZBID='") + SqlStr(zbid) +
               QStringLiteral("' and ID='") + lastId + QLatin1Char('\''));
    return n.toInt() > 0 && SqlRows(1, 0) == usr && SqlRows(1, 1) == last.item &&
           SqlRows(1, 2).toDouble() == last.quantity;
}

} // namespace

QString rightsRefusal(const QVector<Line>& lines, const QString& qx, const QString& slName) {
    bool increase = false, decrease = false, own = false;
    for (const Line& l : lines) {
        increase = increase || l.quantity >= 0;
        decrease = decrease || l.quantity < 0;
        own = own || !l.tm.isEmpty();
    }
    if (!Rights::has(qx, Rights::Increase) && !Rights::has(qx, Rights::Decrease))
        return QStringLiteral("对不起，您没有【记账】的权限！");
    if (increase && !Rights::has(qx, Rights::Increase))
        return QStringLiteral("对不起，您只能记录") + slName + QStringLiteral("减少的账目！");
    if (decrease && !Rights::has(qx, Rights::Decrease))
        return QStringLiteral("对不起，您只能记录") + slName + QStringLiteral("增加的账目！");
    if (own && !Rights::has(qx, Rights::AddMissed))
        return Rights::refusal();
    return {};
}

QStringList daysOf(const QVector<Line>& lines, const QDate& today) {
    QStringList days;
    QSet<QString> seen; // dates as the lines write them
    for (const Line& l : lines) {
        const QString date = l.tm.left(10);
        if (seen.contains(date))
            continue;
        seen.insert(date);
        days.append(dayPrefix(date.isEmpty() ? dayStamp(today) : stampOf(l)));
    }
    days.removeDuplicates();
    return days;
}

QStringList takenIdsStatements(const QString& zbid, const QStringList& days) {
    QStringList out;
    const QString head = QStringLiteral("select ID from Zhang where ") +
                         Like::containsClause(QStringLiteral("ZBID"), zbid) +
                         QStringLiteral(" and (");
    for (int at = 0; at < days.size(); at += kDaysPerRead) {
        QStringList ranges;
        for (int i = at; i < std::min<int>(at + kDaysPerRead, days.size()); ++i)
            ranges.append(QStringLiteral("ID>='") + days.at(i) + QStringLiteral("' and ID<='") +
                          days.at(i) + QStringLiteral("9999999'"));
        out.append(head + ranges.join(QStringLiteral(" or ")) + QLatin1Char(')'));
    }
    return out;
}

QStringList assignIds(const QVector<Line>& lines, const QDate& today, const QTime& now,
                      QSet<QString> taken, QString* error) {
    QStringList ids;
    ids.reserve(lines.size());
    // Where the walk from each starting time stopped, so that many lines of one time cost one
    // step each rather than a walk over all before them.
    QHash<QString, MxEdRules::Stamp> resume;
    for (const Line& l : lines) {
        if (l.tm.isEmpty()) {
            ids.append(QString());
            continue;
        }
        MxEdRules::Stamp s = stampOf(l);
        const QString start = MxEdRules::recordIdAt(s);
        if (resume.contains(start))
            s = resume.value(start);
        QString id = MxEdRules::recordIdAt(s);
        // The hour stops at 23, so a full last hour would go round: an hour's steps at most.
        for (int n = 0; taken.contains(id); ++n) {
            if (n > 60 * 60 * 100) {
                *error = noRoom(l.tm.left(10));
                return {};
            }
            MxEdRules::step(s);
            id = MxEdRules::recordIdAt(s);
        }
        resume.insert(start, s);
        taken.insert(id);
        ids.append(id);
    }
    const int withoutTime = static_cast<int>(ids.count(QString()));
    if (withoutTime == 0)
        return ids;
    const QStringList free = freeOfToday(withoutTime, today, now, taken);
    if (free.size() < withoutTime) {
        *error = noRoom(today.toString(QStringLiteral("yyyy-MM-dd")));
        return {};
    }
    int next = 0;
    for (QString& id : ids)
        if (id.isEmpty())
            id = free.at(next++);
    return ids;
}

QStringList insertStatements(const QString& zbid, const QString& usr, const QVector<Line>& lines,
                             const QStringList& ids, const QString& nowTm, int chunk) {
    QStringList out;
    const QString head = QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ");
    const QString who = QStringLiteral("('") + SqlStr(zbid) + QStringLiteral("','") + SqlStr(usr) +
                        QStringLiteral("','");
    QString s;
    for (int i = 0; i < lines.size(); ++i) {
        const Line& l = lines.at(i);
        if (s.isEmpty()) {
            s.reserve(head.size() + chunk * 96);
            s += head;
        } else {
            s += QLatin1Char(',');
        }
        // Items and remarks went through CleanStr: no quote is left in them.
        s += who;
        s += l.tm.isEmpty() ? nowTm : l.tm;
        s += QLatin1String("','");
        s += ids.at(i);
        s += QLatin1String("','");
        s += l.item;
        s += QLatin1String("',");
        s += shortestDecimal(l.quantity);
        s += QLatin1String(",'");
        s += l.remark;
        s += QLatin1String("')");
        if ((i + 1) % chunk == 0 || i + 1 == lines.size()) {
            out.append(s);
            s.clear();
        }
    }
    return out;
}

namespace {

// What a failed batch ran into, in the ledger's words.
QString failureReason(Db::WriteFailure f) {
    switch (f) {
    case Db::WriteFailure::KeyConflict:
    case Db::WriteFailure::Busy:
        return QStringLiteral("其他操作员正在同时记账，记录编号一再冲突，请稍后重新导入！");
    case Db::WriteFailure::TooLong:
        return MainBas::ItemName +
               QStringLiteral("或备注超出了服务器上数据表的列宽，请改短后重新导入！");
    case Db::WriteFailure::LostConnection:
        return QStringLiteral("与服务器的连接中断了，请检查网络后重新导入！");
    case Db::WriteFailure::Other:
        break;
    }
    return QStringLiteral("服务器拒绝了其中的记录！");
}

} // namespace

Outcome write(const QString& zbid, const QString& usr, const QVector<Line>& lines,
              const std::function<void(int done, int total)>& progress) {
    Outcome o;
    const auto fail = [&o](const QString& reason) {
        o.message = failureText(reason);
        return o;
    };
    const QString date = GetSrvDate();
    const QDate today = QDate::fromString(date, QStringLiteral("yyyy-MM-dd"));
    const QTime now = Clock::now().time();
    const QString nowTm = date + QLatin1Char(' ') + now.toString(QStringLiteral("HH:mm"));
    // Another client may take an id between the read of the taken ones and the inserts. The
    // whole transaction is rolled back then, and goes again with the ids read afresh: each round
    // one of the writers gets through, so a few rounds are enough.
    constexpr int kRounds = 5;
    for (int round = 1;; ++round) {
        QSet<QString> taken;
        for (const QString& statement : takenIdsStatements(zbid, daysOf(lines, today))) {
            ++o.statements;
            const QString n = RunSql(statement);
            if (n.isEmpty())
                return fail(QStringLiteral("连接服务器失败！"));
            for (int i = 1; i <= n.toInt(); ++i)
                taken.insert(MainBas::SqlRows(i, 0));
        }
        QString error;
        const QStringList ids = assignIds(lines, today, now, taken, &error);
        if (ids.isEmpty() && !lines.isEmpty())
            return fail(error);
        const QStringList inserts = insertStatements(zbid, usr, lines, ids, nowTm);
        o.statements += static_cast<int>(inserts.size());
        const int total = static_cast<int>(inserts.size());
        if (progress)
            progress(0, total);
        const QString result = RunSqlBatch(inserts, {}, nullptr, [&](int done) {
            if (progress)
                progress(done, total);
        });
        if (result == QLatin1String("OK"))
            break;
        const Db::WriteFailure failure = Db::lastWriteFailure();
        const bool contended =
            failure == Db::WriteFailure::KeyConflict || failure == Db::WriteFailure::Busy;
        if (contended && round < kRounds)
            continue;
        // Only a batch that went down with its connection may have been committed.
        if (Db::lastCommandLostConnection() && !lines.isEmpty() &&
            committedAfterAll(zbid, usr, lines.last(), ids.last()))
            break;
        return fail(failureReason(failure));
    }
    QSet<QString> seen;
    for (const Line& l : lines)
        if (!seen.contains(l.item)) {
            seen.insert(l.item);
            o.items.append(l.item);
        }
    o.ok = true;
    o.message = successText(static_cast<int>(lines.size()));
    return o;
}

QString successText(int count) {
    return QStringLiteral("成功导入%1条记录！").arg(count);
}

QString failureText(const QString& reason) {
    return QStringLiteral("导入失败，没有导入任何记录：") + reason;
}

} // namespace Import
