#include "reports/balance.h"

#include "app/format.h"
#include "app/fullwidth.h"
#include "app/mainbas.h"
#include "db/sqlaccess.h"
#include "main_window/entry.h"
#include "reports/likeclause.h"
#include "reports/texttable.h"

#include <QRegularExpression>

namespace Balance {

QString itemFilterText(const QString& typed, const QString& itemName) {
    // Only the quotes go: an item another client stored with a comma must stay findable.
    const QString f = trimBlanks(typed).remove(QLatin1Char('\''));
    if (f == QStringLiteral("全部") + itemName)
        return {};
    return f;
}

QString statement(const QString& zbid, const QString& filter, ItemRelation relation,
                  Db::Engine engine) {
    QString s =
        QStringLiteral("select Item,sum(SL) from Zhang Where ZBID='") + zbid + QStringLiteral("' ");
    if (!filter.isEmpty()) {
        if (relation == ItemRelation::Equal)
            s += QStringLiteral(" And Item='") + SqlStr(filter) + QStringLiteral("' ");
        else
            s += QStringLiteral(" And ") +
                 Like::containsClause(QStringLiteral("Item"), filter, engine) + QLatin1Char(' ');
    }
    return s + QStringLiteral(" Group by Item ") + QStringLiteral(" order by Item ");
}

ValueFilter valueFilterOf(const QString& typed) {
    ValueFilter f;
    const QString t = trimBlanks(FullWidth::numberToAscii(typed));
    if (t.isEmpty())
        return f;
    f.active = true;
    f.text = NumStr(Entry::leadingNumber(t));
    f.value = f.text.toDouble();
    return f;
}

bool passes(double balance, const ValueFilter& filter, ValueRelation relation) {
    if (!filter.active)
        return true;
    const double shown = NumStr(balance).toDouble();
    switch (relation) {
    case ValueRelation::Greater:
        return shown > filter.value;
    case ValueRelation::Less:
        return shown < filter.value;
    case ValueRelation::Equal:
        return shown == filter.value;
    }
    return false;
}

QList<Row> keptRows(const SqlTable& result, int rowMax, const ValueFilter& filter,
                    ValueRelation relation) {
    QList<Row> rows;
    for (int i = 1; i < rowMax; ++i) {
        Row r{result(i, 0), result(i, 1).toDouble()};
        if (!r.item.isEmpty() && passes(r.balance, filter, relation))
            rows.append(r);
    }
    return rows;
}

double totalOf(const QList<Row>& rows) {
    double total = 0;
    for (const Row& r : rows)
        total += r.balance;
    return total;
}

QString latestTimeStatement(const QString& zbid, const QString& item) {
    return QStringLiteral("select top 1 tm from zhang where zbid='") + zbid +
           QStringLiteral("' and item='") + SqlStr(item) +
           QStringLiteral("' and tm is not null order by tm desc");
}

Period journalPeriod(const QDateTime& latest, const Period& byDefault) {
    Period p = byDefault;
    const QDate d = latest.date();
    const QDate start = p.start.date();
    if (d.year() < start.year())
        p.start = QDateTime(QDate(d.year(), 1, 1), QTime(0, 0));
    else if (d.year() == start.year() && d.month() < start.month())
        p.start = QDateTime(QDate(d.year(), d.month(), std::min(start.day(), d.daysInMonth())),
                            p.start.time());
    if (d > p.end.date())
        p.end = QDateTime(d, QTime(23, 59));
    return p;
}

namespace {

constexpr int kItemWidth = 4090;
constexpr int kValueWidth = 2000;

ReportLine line(const QString& text, const QString& item = QString()) {
    return ReportLine{text, QString(), item};
}

QString blankCell() {
    return MakeTextCell(QStringLiteral(" "), kItemWidth);
}

} // namespace

QVector<ReportLine> header(const QString& itemName, const QString& slName) {
    return {line(blankCell()), line(MakeTextCell(QStringLiteral("  ") + itemName, kItemWidth) +
                                    MakeTextCell(slName, kValueWidth))};
}

QVector<ReportLine> ruleLines(int kind) {
    QVector<ReportLine> lines;
    if (kind == 2) {
        lines.append(line(MakeRuleSegment(1, kItemWidth) + MakeRuleSegment(2, kValueWidth)));
        lines.append(line(blankCell()));
    }
    lines.append(line(MakeRuleSegment(kind, kItemWidth) + MakeRuleSegment(kind, kValueWidth)));
    return lines;
}

QVector<ReportLine> body(const QList<Row>& kept) {
    QVector<ReportLine> lines = ruleLines(1);
    for (const Row& r : kept) {
        TextTable::RowBuilder row(true);
        row.text(r.item, kItemWidth);
        row.raw(QStringLiteral("  ") + MakeNumberText(r.balance));
        lines.append({row.shown(), QString(), r.item, row.whole()});
        lines += ruleLines(1);
    }
    lines.append(line(MakeTextCell(QStringLiteral("   合计："), kItemWidth) +
                      MakeNumberText(totalOf(kept))));
    lines += ruleLines(2);
    return lines;
}

QVector<ReportLine> emptyBody() {
    QVector<ReportLine> lines{line(blankCell() + MakeTextCell(QStringLiteral(" "), kValueWidth))};
    lines += ruleLines(2);
    return lines;
}

QStringList exportLines(const QVector<ReportLine>& lines) {
    QStringList out;
    for (int i = 0; i <= lines.size() - 4; ++i)
        if (!lines[i].whole.isEmpty())
            out.append(lines[i].whole);
        else if (lines[i].text.contains(TextTable::kBar))
            out.append(exportLine(lines[i].text));
    return out;
}

QString exportLine(const QString& shownLine) {
    static const QRegularExpression blanks(QStringLiteral(" {2,}"));
    return QString(shownLine)
        .replace(blanks, QStringLiteral(" "))
        .replace(QChar(0x2502), QLatin1Char(','));
}

Print::Printable printable(const QList<Row>& kept, const QString& itemName, const QString& slName) {
    Print::Printable p;
    p.columns = {{itemName, kItemWidth, Print::Align::Left},
                 {slName, kValueWidth, Print::Align::Right}};
    for (const Row& r : kept)
        p.rows.append({r.item, NumStr(r.balance)});
    p.totals = {QStringLiteral("合计："), NumStr(totalOf(kept))};
    return p;
}

QString filterLine(const QString& item, ItemRelation relation, const ValueFilter& value,
                   ValueRelation valueRelation, const QString& itemName, const QString& slName) {
    QStringList parts{Print::itemFilter(
        itemName, item, relation == ItemRelation::Equal ? QString() : QStringLiteral("字符包含"))};
    if (value.active) {
        const QString relations[3] = {QStringLiteral("大于"), QStringLiteral("小于"),
                                      QStringLiteral("等于")};
        parts << slName + QStringLiteral("：") + relations[static_cast<int>(valueRelation)] +
                     QLatin1Char(' ') + value.text;
    }
    return Print::joinFilters(parts);
}

QString caption(const QString& itemName, const QString& slName) {
    return itemName + slName + QStringLiteral("表");
}

QString noRecords() {
    return QStringLiteral("这个账本还没有录入任何记录，不能进行报表统计！");
}

QString noData() {
    return QStringLiteral("没有符合条件的数据！");
}

QString readingWait() {
    return QStringLiteral("正在读取数据，请稍候……");
}

QString exportFirst() {
    return QStringLiteral("请先【统计】出相关数据，再进行Excel导出操作！");
}

} // namespace Balance
