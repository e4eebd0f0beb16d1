#include "reports/audit.h"

#include "app/format.h"
#include "app/mainbas.h"
#include "db/sqlfailure.h"
#include "reports/likeclause.h"
#include "reports/pickers.h"
#include "reports/texttable.h"

#include <cmath>

namespace Audit {

namespace {

// 处理人, 处理时间, 处理, 操作员, 时间, item, 增加, 减少, 备注; 改为 ends the line.
const int kCells[] = {890, 1590, 540, 890, 1590, 3000, 1000, 1000, 1900};
const int kRules[] = {800, 1500, 540, 800, 1500, 3000, 1000, 1000, 1900, 4000};
// Ten columns on one landscape page: the two times and the replacement keep their whole text,
// the item, the numbers and the remark give way.
const int kPaper[] = {890, 1590, 540, 890, 1590, 1800, 900, 900, 1400, 3200};

QString cellsRow(const QStringList& texts) {
    QString s;
    for (int i = 0; i < 9; ++i)
        TextTable::appendTextCell(s, texts.value(i, QStringLiteral(" ")), kCells[i]);
    return s;
}

QString ruleLine(int kind) {
    QString s;
    for (int w : kRules)
        s += MakeRuleSegment(kind, w);
    return s;
}

double numberOf(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : 0;
}

struct Totals {
    double inc = 0;
    double dec = 0;
};
Totals totalsOf(const QVector<Entry>& entries) {
    Totals t;
    for (const Entry& e : entries)
        (e.sl >= 0 ? t.inc : t.dec) += std::abs(e.sl);
    return t;
}

QString signedNumber(double v) {
    return (v >= 0 ? QStringLiteral("+") : QString()) + NumStr(v);
}

// The marker's stamp and first part as the engine computes them, counted from the end, where
// the ledger id and the stamp have known lengths. SQLite has no left() or right(); the others
// take SQL Server's forms (the PostgreSQL schema adds len()).
struct Parts {
    QString stamp;
    QString first;
};
Parts partsOf(const QString& zbid, Db::Engine engine) {
    const QString tail = QString::number(zbid.size() + 2 + kStampLength);
    if (engine == Db::Engine::Sqlite)
        return {QStringLiteral("substr(z.ZBID,-16)"),
                QStringLiteral("substr(z.ZBID,1,length(z.ZBID)-") + tail + QLatin1Char(')')};
    return {QStringLiteral("right(z.ZBID,16)"),
            QStringLiteral("left(z.ZBID,len(z.ZBID)-") + tail + QLatin1Char(')')};
}

// Any marker of this ledger: "#" + ledger id + "#" and a stamp's length of characters at the end.
QString markerLike(const QString& column, const QString& zbid) {
    return column + QStringLiteral(" like '%#") + Like::escaped(zbid) + QLatin1Char('#') +
           QString(kStampLength, QLatin1Char('_')) + QStringLiteral("' escape '") +
           QLatin1Char(Like::kEscape) + QLatin1Char('\'');
}

} // namespace

std::optional<Marker> parseMarker(const QString& zbidField, const QString& zbid) {
    const QString middle = QLatin1Char('#') + zbid + QLatin1Char('#');
    const int at = zbidField.size() - kStampLength - middle.size();
    if (zbid.isEmpty() || at < 0 || QStringView(zbidField).mid(at, middle.size()) != middle)
        return std::nullopt;
    return Marker{zbidField.left(at), zbidField.right(kStampLength)};
}

QString statement(const QString& zbid, const Filter& f, Db::Engine engine) {
    const Parts p = partsOf(zbid, engine);
    QString s =
        QStringLiteral("select z.ZBID,z.ID,z.USR,z.TM,z.ITEM,z.SL,z.BZ,"
                       "r.ID,r.USR,r.TM,r.ITEM,r.SL from Zhang z left join Zhang r on r.ID=") +
        p.first + QStringLiteral(" and r.ID<>z.ID and (r.ZBID='") + SqlStr(zbid) +
        QStringLiteral("' or ") + markerLike(QStringLiteral("r.ZBID"), zbid) + QStringLiteral(")");
    // "like '%#%'" is the condition of the retired rows' index on the stamp: with it the engine
    // reads the retired rows of the period, not the ledgers' live rows.
    s += QStringLiteral(" where z.ZBID like '%#%' and ") + p.stamp + QStringLiteral(">='") +
         Pickers::stamp(f.from) + QStringLiteral("' and ") + p.stamp + QStringLiteral("<='") +
         Pickers::stamp(f.to) + QStringLiteral("' and ") +
         markerLike(QStringLiteral("z.ZBID"), zbid);
    if (!f.item.isEmpty())
        s += QStringLiteral(" and z.ITEM='") + SqlStr(f.item) + QLatin1Char('\'');
    if (!f.usr.isEmpty())
        s += QStringLiteral(" and case when r.ID is null then ") + p.first +
             QStringLiteral(" else r.USR end='") + SqlStr(f.usr) + QLatin1Char('\'');
    return s + QStringLiteral(" order by ") + p.stamp + QStringLiteral(" desc,z.TM,z.ID");
}

QVector<Entry> entriesFromResult(const QString& zbid) {
    using MainBas::SqlRows;
    QVector<Entry> out;
    for (int i = 1; i < MainBas::SqlRowMax; ++i) {
        Entry e;
        e.marker = SqlRows(i, 0);
        if (e.marker.isEmpty())
            break;
        const std::optional<Marker> m = parseMarker(e.marker, zbid);
        if (!m)
            continue;
        e.id = SqlRows(i, 1);
        e.usr = SqlRows(i, 2);
        e.tm = SqlRows(i, 3);
        e.item = SqlRows(i, 4);
        e.sl = numberOf(SqlRows(i, 5));
        e.bz = SqlRows(i, 6);
        e.newId = SqlRows(i, 7);
        e.edited = !e.newId.isEmpty();
        e.by = e.edited ? SqlRows(i, 8) : m->first;
        e.at = m->stamp;
        e.newTm = SqlRows(i, 9);
        e.newItem = SqlRows(i, 10);
        e.newSl = numberOf(SqlRows(i, 11));
        out.append(e);
    }
    return out;
}

QString action(const Entry& e) {
    return e.edited ? QStringLiteral("修改") : QStringLiteral("删除");
}

QString replacementText(const Entry& e) {
    if (!e.edited)
        return {};
    return e.newTm + QLatin1Char(' ') + e.newItem + QLatin1Char(' ') + signedNumber(e.newSl);
}

QVector<ReportLine> header(const QString& itemWord) {
    const QStringList titles = {
        QStringLiteral("  处理人"), QStringLiteral("  处理时间"), QStringLiteral("  处理"),
        QStringLiteral("  操作员"), QStringLiteral("  时间"),     QStringLiteral("  ") + itemWord,
        QStringLiteral("  增加"),   QStringLiteral("  减少"),     QStringLiteral("  备注")};
    return {{cellsRow({}) + QLatin1Char(' '), {}, {}},
            {cellsRow(titles) + QStringLiteral("  改为"), {}, {}}};
}

QVector<ReportLine> ruleLines(int kind) {
    QVector<ReportLine> out;
    if (kind == 2) {
        out.append({ruleLine(1), {}, {}});
        out.append({cellsRow({}), {}, {}});
    }
    out.append({ruleLine(kind), {}, {}});
    return out;
}

QVector<ReportLine> body(const QVector<Entry>& entries) {
    QVector<ReportLine> out;
    out.reserve(entries.size() * 2 + 5);
    const QString midRule = ruleLine(1);
    out.append({midRule, {}, {}});
    for (const Entry& e : entries) {
        // The export is the journal's: it shortens the runs of blanks.
        TextTable::RowBuilder line(true);
        line.text(e.by, kCells[0]);
        line.text(e.at, kCells[1]);
        line.text(action(e), kCells[2]);
        line.text(e.usr, kCells[3]);
        line.text(e.tm, kCells[4]);
        line.text(e.item, kCells[5]);
        if (e.sl >= 0) {
            line.number(e.sl);
            line.text(QStringLiteral(" "), kCells[7]);
        } else {
            line.text(QStringLiteral(" "), kCells[6]);
            line.number(-e.sl);
        }
        line.text(e.bz, kCells[8]);
        line.tail(replacementText(e));
        out.append({line.shown(), e.id, e.item, line.whole()});
        out.append({midRule, {}, {}});
    }
    QString totals;
    for (int i = 0; i < 5; ++i)
        TextTable::appendTextCell(totals, QStringLiteral(" "), kCells[i]);
    TextTable::appendTextCell(totals, QStringLiteral("        合计："), kCells[5]);
    const Totals t = totalsOf(entries);
    TextTable::appendNumberCell(totals, t.inc);
    TextTable::appendNumberCell(totals, t.dec);
    out.append({totals, {}, {}});
    out.append(ruleLines(2));
    return out;
}

Listing list(const QString& zbid, const Filter& filter) {
    Listing l;
    // A failed query is not an empty audit.
    const QString n = RunSql(statement(zbid, filter));
    if (n.isEmpty())
        return l;
    l.entries = entriesFromResult(zbid);
    if (l.entries.isEmpty()) {
        l.status = Listing::Empty;
        return l;
    }
    l.body = body(l.entries);
    l.status = Listing::Listed;
    return l;
}

Print::Printable printable(const QVector<Entry>& entries, const QString& itemWord) {
    using Print::Align;
    const QStringList heads = {QStringLiteral("处理人"), QStringLiteral("处理时间"),
                               QStringLiteral("处理"),   QStringLiteral("操作员"),
                               QStringLiteral("时间"),   itemWord,
                               QStringLiteral("增加"),   QStringLiteral("减少"),
                               QStringLiteral("备注"),   QStringLiteral("改为")};
    Print::Printable p;
    for (int i = 0; i < heads.size(); ++i)
        p.columns.append({heads.at(i), kPaper[i], i == 6 || i == 7 ? Align::Right : Align::Left});
    p.rows.reserve(entries.size());
    for (const Entry& e : entries)
        p.rows.append({e.by, e.at, action(e), e.usr, e.tm, e.item,
                       e.sl >= 0 ? NumStr(e.sl) : QString(), e.sl < 0 ? NumStr(-e.sl) : QString(),
                       e.bz, replacementText(e)});
    const Totals t = totalsOf(entries);
    p.totals = QStringList{
        QString(),     QString(),     QString(), QString(), QString(), QStringLiteral("合计："),
        NumStr(t.inc), NumStr(t.dec), QString(), QString()};
    return p;
}

QString filterLine(const Filter& f, const QString& itemWord) {
    QStringList parts{Print::period(Pickers::stamp(f.from), Pickers::stamp(f.to)),
                      Print::itemFilter(itemWord, f.item, QString())};
    if (!f.usr.isEmpty())
        parts << QStringLiteral("处理人：") + f.usr;
    return Print::joinFilters(parts);
}

QString restoreStatement(const QString& zbid, const Entry& e) {
    return QStringLiteral("update Zhang set ZBID='") + SqlStr(zbid) +
           QStringLiteral("' where ZBID='") + SqlStr(e.marker) + QStringLiteral("' and ID='") +
           SqlStr(e.id) + QLatin1Char('\'');
}

Restore restore(const QString& zbid, const Entry& e) {
    // A marker of another ledger would move its record into this one.
    if (!parseMarker(e.marker, zbid))
        return Restore::OtherLedger;
    // Both versions in the ledger would count the change twice.
    if (e.edited)
        return Restore::Replaced;
    const QString result = RunSqlBatch({restoreStatement(zbid, e)}, {1});
    if (result == QLatin1String("OK"))
        return Restore::Done;
    if (result == QLatin1String("ROWS"))
        return Restore::AlreadyRestored;
    // A row saved since under the same id keeps the key the record would take back. Not every
    // driver names the conflict, so unless the server was lost, it is asked.
    const Db::WriteFailure failure = Db::lastWriteFailure();
    if (failure == Db::WriteFailure::KeyConflict)
        return Restore::IdTaken;
    if (failure != Db::WriteFailure::LostConnection &&
        RunSqlOne(QStringLiteral("select count(*) from Zhang where ZBID='") + SqlStr(zbid) +
                  QStringLiteral("' and ID='") + SqlStr(e.id) + QLatin1Char('\''))
                .toInt() > 0)
        return Restore::IdTaken;
    return Restore::Failed;
}

QString caption() {
    return QStringLiteral("帐目审核");
}
QString askRestore() {
    return QStringLiteral("真的要恢复这条记录吗？");
}
QString restoredText() {
    return QStringLiteral("恢复成功！");
}
QString alreadyRestored() {
    return QStringLiteral("这条记录已经被恢复！");
}
QString selectToRestore() {
    return QStringLiteral("请首先选择您要恢复的记录行！");
}
QString idTaken() {
    return QStringLiteral("账本中已有一条记录使用了这条记录的编号，不能恢复！");
}
QString otherLedger() {
    return QStringLiteral("这条记录不属于当前账本，不能恢复！");
}
QString replacedMessage(const Entry& e) {
    return QStringLiteral("这条记录已经被修改为：\n\n") + replacementText(e) +
           QStringLiteral("\n\n两条记录同时存在会重复计算，不能恢复！");
}

} // namespace Audit
