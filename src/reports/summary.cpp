#include "reports/summary.h"

#include "app/csv.h"
#include "app/format.h"
#include "app/mainbas.h"
#include "db/sqlaccess.h"
#include "reports/reportcommon.h"
#include "reports/texttable.h"

namespace Summary {

QString itemListStatement(const QString& zbid) {
    return ReportCommon::itemListStatement(zbid) + QStringLiteral(" order by Item");
}

QString statement(const QString& zbid, const QString& start, const QString& end) {
    const QString inPeriod =
        QStringLiteral("TM>='") + start + QStringLiteral("' and TM<='") + end + QStringLiteral("'");
    return QStringLiteral("select Item, sum(case when TM<'") + start +
           QStringLiteral("' then SL else 0 end), sum(case when ") + inPeriod +
           QStringLiteral(" and SL>=0 then SL else 0 end), sum(case when ") + inPeriod +
           QStringLiteral(" and SL<0 then SL else 0 end) from Zhang where ZBID='") + zbid +
           QStringLiteral("' group by Item order by Item");
}

QList<Row> rowsOf(const SqlTable& result, int rowMax) {
    QList<Row> rows;
    for (int i = 1; i < rowMax; ++i) {
        Row r;
        r.item = result(i, 0);
        if (r.item.isEmpty())
            continue;
        r.opening = result(i, 1).toDouble();
        r.increase = result(i, 2).toDouble();
        r.decrease = -result(i, 3).toDouble();
        r.closing = r.opening + r.increase - r.decrease;
        rows.append(r);
    }
    return rows;
}

Choice choose(const QList<Row>& all, const QString& typed, Relation relation,
              const QString& itemName) {
    Choice c;
    const QString v = CleanStr(typed);
    if (v.isEmpty() || v == QStringLiteral("全部") + itemName) {
        c.rows = all;
        return c;
    }
    const QString wanted = v.toUpper();
    for (const Row& r : all) {
        const QString item = r.item.toUpper();
        if (relation == Relation::Equal && item == wanted) {
            c.rows.append(r);
            break;
        }
        if (relation == Relation::Contains && item.contains(wanted))
            c.rows.append(r);
    }
    if (c.rows.isEmpty())
        c.message = relation == Relation::Equal ? noSuchItem(typed, itemName)
                                                : noItemContains(typed, itemName);
    return c;
}

bool allShownZero(const Row& row) {
    for (double v : {row.opening, row.increase, row.decrease, row.closing})
        if (NumStr(v) != QLatin1String("0"))
            return false;
    return true;
}

QList<Row> shownRows(const QList<Row>& chosen, bool hideZero) {
    QList<Row> shown;
    for (const Row& r : chosen)
        if (!hideZero || !allShownZero(r))
            shown.append(r);
    return shown;
}

Totals totalsOf(const QList<Row>& shown) {
    Totals t;
    for (const Row& r : shown) {
        t.opening += r.opening;
        t.increase += r.increase;
        t.decrease += r.decrease;
        t.closing += r.closing;
    }
    return t;
}

namespace {

constexpr int kItemWidth = 3000;
constexpr int kNumberWidth = 1000;
constexpr int kTailWidth = 500;

ReportLine line(const QString& text, const QString& item = QString()) {
    return ReportLine{text, QString(), item};
}

QString blankRow() {
    QString s = MakeTextCell(QStringLiteral(" "), kItemWidth);
    for (int i = 0; i < 4; ++i)
        s += MakeTextCell(QStringLiteral(" "), kNumberWidth);
    return s;
}

QString ruleLine(int kind) {
    QString s = MakeRuleSegment(kind, kItemWidth);
    for (int i = 0; i < 4; ++i)
        s += MakeRuleSegment(kind, kNumberWidth);
    // The tail always closes in "┼", whatever the kind.
    return s + MakeRuleSegment(1, kTailWidth);
}

QString numbers(double a, double b, double c, double d) {
    return MakeNumberCell(a) + MakeNumberCell(b) + MakeNumberCell(c) + MakeNumberCell(d);
}

} // namespace

QVector<ReportLine> header(const QString& itemName, const QString& slName) {
    const QString title = MakeTextCell(QStringLiteral("  ") + itemName, kItemWidth) +
                          MakeTextCell(QStringLiteral("  期初") + slName, kNumberWidth) +
                          MakeTextCell(QStringLiteral("  增加"), kNumberWidth) +
                          MakeTextCell(QStringLiteral("  减少"), kNumberWidth) +
                          MakeTextCell(QStringLiteral("  期末") + slName, kNumberWidth);
    return {line(blankRow()), line(title)};
}

QVector<ReportLine> ruleLines(int kind) {
    QVector<ReportLine> lines;
    if (kind == 2) {
        lines.append(line(ruleLine(1)));
        lines.append(line(blankRow()));
    }
    lines.append(line(ruleLine(kind)));
    return lines;
}

QVector<ReportLine> body(const QList<Row>& shown) {
    QVector<ReportLine> lines = ruleLines(1);
    for (const Row& r : shown) {
        // The export writes the cells with their blanks.
        TextTable::RowBuilder row(false);
        row.text(r.item, kItemWidth);
        row.raw(numbers(r.opening, r.increase, r.decrease, r.closing));
        lines.append({row.shown(), QString(), r.item, row.whole()});
        lines += ruleLines(1);
    }
    if (shown.isEmpty()) {
        lines.append(line(blankRow()));
    } else {
        const Totals t = totalsOf(shown);
        lines.append(line(MakeTextCell(QStringLiteral("      合计："), kItemWidth) +
                          numbers(t.opening, t.increase, t.decrease, t.closing)));
    }
    lines += ruleLines(2);
    return lines;
}

QStringList exportLines(const QVector<ReportLine>& lines) {
    QStringList out;
    if (lines.size() > 1)
        out.append(csvLineOf(lines[1].text));
    for (int i = 2; i < lines.size(); ++i)
        if (!lines[i].whole.isEmpty())
            out.append(lines[i].whole);
        else if (lines[i].text.contains(TextTable::kBar))
            out.append(csvLineOf(lines[i].text));
    return out;
}

Print::Printable printable(const QList<Row>& shown, const QString& itemName,
                           const QString& slName) {
    using Print::Align;
    Print::Printable p;
    p.columns = {{itemName, kItemWidth, Align::Left},
                 {QStringLiteral("期初") + slName, kNumberWidth, Align::Right},
                 {QStringLiteral("增加"), kNumberWidth, Align::Right},
                 {QStringLiteral("减少"), kNumberWidth, Align::Right},
                 {QStringLiteral("期末") + slName, kNumberWidth, Align::Right}};
    for (const Row& r : shown)
        p.rows.append(
            {r.item, NumStr(r.opening), NumStr(r.increase), NumStr(r.decrease), NumStr(r.closing)});
    const Totals t = totalsOf(shown);
    p.totals = {QStringLiteral("合计："), NumStr(t.opening), NumStr(t.increase), NumStr(t.decrease),
                NumStr(t.closing)};
    return p;
}

QString filterLine(const QString& start, const QString& end, const QString& typed,
                   Relation relation, const QString& itemName, bool hideZero) {
    QStringList parts{
        Print::period(start, end),
        Print::itemFilter(itemName, CleanStr(typed),
                          relation == Relation::Equal ? QString() : QStringLiteral("字符包含"))};
    if (hideZero)
        parts << hideZeroCaption();
    return Print::joinFilters(parts);
}

QString caption(const QString& itemName) {
    return itemName + QStringLiteral("汇总表");
}

QString noRecords() {
    return QStringLiteral("这个账本还没有录入任何记录，不能进行报表统计！");
}

QString noSuchItem(const QString& typed, const QString& itemName) {
    return QStringLiteral("账本中不存在“") + typed + QStringLiteral("”这个") + itemName;
}

QString noItemContains(const QString& typed, const QString& itemName) {
    return QStringLiteral("账本中不存在字符包含“") + typed + QStringLiteral("”的") + itemName;
}

QString noMatchingItem(const QString& itemName) {
    return QStringLiteral("没有符合条件的") + itemName + QStringLiteral("！");
}

QString readingWait() {
    return QStringLiteral("正在读取数据，请稍候……");
}

QString hideZeroCaption() {
    return QStringLiteral("四列数值均为0的不显示");
}

} // namespace Summary
