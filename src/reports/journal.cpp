#include "reports/journal.h"

#include "app/csv.h"
#include "app/format.h"
#include "app/mainbas.h"
#include "reports/likeclause.h"
#include "reports/pickers.h"
#include "reports/reportcommon.h"
#include "reports/texttable.h"

#include <algorithm>

namespace Journal {

namespace {

const int kCells[] = {890, 1590, 3000, 1000, 1000, 1000};

QString cellsRow(bool showBalance, const QString& text = QStringLiteral(" ")) {
    QString s;
    for (int i = 0; i < (showBalance ? 6 : 5); ++i)
        s += MakeTextCell(text, kCells[i]);
    return s;
}

QString ruleLine(int kind, bool showBalance) {
    QString s = MakeRuleSegment(kind, 800) + MakeRuleSegment(kind, 1500) +
                MakeRuleSegment(kind, 3000) + MakeRuleSegment(kind, 1000) +
                MakeRuleSegment(kind, 1000);
    if (showBalance)
        s += MakeRuleSegment(kind, 1000);
    return s + MakeRuleSegment(kind, showBalance ? 4000 : 5000);
}

double numberOf(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : 0;
}

} // namespace

Query build(const QString& zbid, const QString& itemWord, const Filter& f, Db::Engine engine) {
    Query q;
    q.from = Pickers::stamp(f.from);
    QString s = QStringLiteral("select id ,usr,tm,item,sl,bz  from Zhang Where ZBID='") + zbid +
                QStringLiteral("' ");
    s += QStringLiteral(" And TM>='") + q.from + QStringLiteral("' ");
    s += QStringLiteral(" And TM<='") + Pickers::stamp(f.to) + QStringLiteral("' ");
    const QString item = f.exactItem ? f.item : CleanStr(f.item);
    if (!item.isEmpty() && item != ReportCommon::allItems(itemWord)) {
        q.itemClause = f.relation == 0
                           ? QStringLiteral(" And Item='") + SqlStr(item) + QStringLiteral("' ")
                           : QStringLiteral(" And ") +
                                 Like::containsClause(QStringLiteral("Item"), item, engine) +
                                 QLatin1Char(' ');
        s += q.itemClause;
    }
    if (f.sign == 1) {
        s += QStringLiteral(" And SL>=0 ");
        q.showBalance = false;
    } else if (f.sign == 2) {
        s += QStringLiteral(" And SL<0 ");
        q.showBalance = false;
    }
    const QString remark = CleanStr(f.remark);
    if (!remark.isEmpty()) {
        q.showBalance = false;
        s += QStringLiteral(" And ") + Like::containsClause(QStringLiteral("Bz"), remark, engine) +
             QLatin1Char(' ');
    }
    if (!f.usr.isEmpty()) {
        q.showBalance = false;
        s += QStringLiteral(" And Usr = '") + SqlStr(f.usr) + QStringLiteral("' ");
    }
    if (f.sort == 0) {
        s += QStringLiteral(" order by Item,TM,ID ");
    } else if (f.sort == 1) {
        s += QStringLiteral(" order by TM,ID ");
        q.showBalance = false;
    } else {
        s += QStringLiteral(" order by SL desc,Item,TM ");
        q.showBalance = false;
    }
    q.statement = s;
    return q;
}

QString openingStatement(const QString& zbid, const QString& from, const QString& itemClause) {
    return QStringLiteral("select Item,sum(SL) from Zhang where ZBID='") + zbid +
           QStringLiteral("' and TM<'") + from + QLatin1Char('\'') + itemClause +
           QStringLiteral(" group by Item");
}

QVector<Row> rowsFromResult() {
    QVector<Row> rows;
    rows.reserve(std::max(0, MainBas::SqlRowMax - 1));
    for (int i = 1; i < MainBas::SqlRowMax; ++i) {
        Row r;
        r.id = MainBas::SqlRows(i, 0);
        if (r.id.isEmpty())
            break;
        r.usr = MainBas::SqlRows(i, 1);
        r.tm = MainBas::SqlRows(i, 2);
        r.item = MainBas::SqlRows(i, 3);
        r.sl = numberOf(MainBas::SqlRows(i, 4));
        r.bz = MainBas::SqlRows(i, 5);
        rows.append(r);
    }
    return rows;
}

QHash<QString, double> openingsFromResult() {
    QHash<QString, double> out;
    for (int i = 1; i < MainBas::SqlRowMax; ++i)
        out.insert(MainBas::SqlRows(i, 0), numberOf(MainBas::SqlRows(i, 1)));
    return out;
}

QVector<ReportLine> header(const Words& words, bool showBalance) {
    QString titles = MakeTextCell(QStringLiteral("  操作员"), 890) +
                     MakeTextCell(QStringLiteral("  时间"), 1590) +
                     MakeTextCell(QStringLiteral("  ") + words.itemWord, 3000) +
                     MakeTextCell(QStringLiteral("  增加"), 1000) +
                     MakeTextCell(QStringLiteral("  减少"), 1000);
    if (showBalance)
        titles += MakeTextCell(QStringLiteral("  ") + words.slName, 1000);
    titles += QStringLiteral("  备注");
    return {{cellsRow(showBalance) + QLatin1Char(' '), {}, {}}, {titles, {}, {}}};
}

QVector<ReportLine> ruleLines(int kind, bool showBalance) {
    QVector<ReportLine> out;
    if (kind == 2) {
        out.append({ruleLine(1, showBalance), {}, {}});
        out.append(
            {cellsRow(showBalance) + (showBalance ? QStringLiteral(" ") : QString()), {}, {}});
    }
    out.append({ruleLine(kind, showBalance), {}, {}});
    return out;
}

Running running(const QVector<Row>& rows, const QHash<QString, double>& openings) {
    Running r;
    r.balance.reserve(rows.size());
    double bal = 0;
    const QString* group = nullptr;
    for (const Row& row : rows) {
        if (!group || row.item != *group) {
            if (group)
                r.balSum += bal;
            group = &row.item;
            bal = openings.value(row.item, 0);
        }
        if (row.sl >= 0)
            r.inc += row.sl;
        else
            r.dec -= row.sl;
        bal += row.sl;
        r.balance.append(bal);
    }
    r.balSum += bal;
    return r;
}

QVector<ReportLine> body(const QVector<Row>& rows, const QHash<QString, double>& openings,
                         bool showBalance, const Progress& progress) {
    QVector<ReportLine> out;
    out.reserve(rows.size() * 2 + 5);
    const QString midRule = ruleLine(1, showBalance);
    const QString emptyNumber = MakeTextCell(QStringLiteral(" "), 1000);
    out.append({midRule, {}, {}});
    const Running run = running(rows, openings);
    for (int i = 0; i < rows.size(); ++i) {
        const Row& r = rows.at(i);
        if (progress && i % kProgressEvery == 0)
            progress(i + 1, r.item);
        TextTable::RowBuilder line(true);
        line.text(r.usr, 890);
        line.text(r.tm, 1590);
        line.text(r.item, 3000);
        if (r.sl >= 0) {
            line.number(r.sl);
            line.raw(emptyNumber);
        } else {
            line.raw(emptyNumber);
            line.number(-r.sl);
        }
        if (showBalance)
            line.number(run.balance.at(i));
        line.tail(r.bz);
        out.append({line.shown(), r.id, r.item, line.whole()});
        out.append({midRule, {}, {}});
    }
    QString totals = MakeTextCell(QStringLiteral(" "), 890) +
                     MakeTextCell(QStringLiteral(" "), 1590) +
                     MakeTextCell(QStringLiteral("        合计："), 3000) +
                     MakeNumberCell(run.inc) + MakeNumberCell(run.dec);
    if (showBalance)
        totals += MakeNumberCell(run.balSum);
    out.append({totals, {}, {}});
    out.append(ruleLines(2, showBalance));
    return out;
}

Listing list(const QString& zbid, const QString& itemWord, const Filter& filter,
             const Progress& progress) {
    Listing l;
    const Query q = build(zbid, itemWord, filter);
    l.showBalance = q.showBalance;
    // A failed query is not an empty journal, and a failed opening balance is not 0.
    ++l.statements;
    const QString n = RunSql(q.statement);
    if (n.isEmpty())
        return l;
    if (n.toInt() <= 0) {
        l.status = Listing::Empty;
        return l;
    }
    QVector<Row> rows = rowsFromResult();
    QHash<QString, double> openings;
    if (q.showBalance) {
        ++l.statements;
        if (RunSql(openingStatement(zbid, q.from, q.itemClause)).isEmpty())
            return l;
        openings = openingsFromResult();
    }
    l.body = body(rows, openings, q.showBalance, progress);
    l.rows = std::move(rows);
    l.openings = std::move(openings);
    l.status = Listing::Listed;
    return l;
}

Print::Printable printable(const Listing& l, const Words& words) {
    using Print::Align;
    Print::Printable p;
    p.columns = {{QStringLiteral("操作员"), 890, Align::Left},
                 {QStringLiteral("时间"), 1590, Align::Left},
                 {words.itemWord, 3000, Align::Left},
                 {QStringLiteral("增加"), 1000, Align::Right},
                 {QStringLiteral("减少"), 1000, Align::Right}};
    if (l.showBalance)
        p.columns.append({words.slName, 1000, Align::Right});
    p.columns.append({QStringLiteral("备注"), l.showBalance ? 4000 : 5000, Align::Left});
    const Running run = running(l.rows, l.openings);
    p.rows.reserve(l.rows.size());
    for (int i = 0; i < l.rows.size(); ++i) {
        const Row& r = l.rows.at(i);
        QStringList cells{r.usr, r.tm, r.item};
        cells << (r.sl >= 0 ? NumStr(r.sl) : QString()) << (r.sl < 0 ? NumStr(-r.sl) : QString());
        if (l.showBalance)
            cells << NumStr(run.balance.at(i));
        cells << r.bz;
        p.rows.append(cells);
    }
    p.totals = QStringList{QString(), QString(), QStringLiteral("合计："), NumStr(run.inc),
                           NumStr(run.dec)};
    if (l.showBalance)
        p.totals << NumStr(run.balSum);
    p.totals << QString();
    return p;
}

QString filterLine(const Filter& f, const QString& itemWord) {
    QStringList parts{Print::period(Pickers::stamp(f.from), Pickers::stamp(f.to)),
                      Print::itemFilter(itemWord, f.exactItem ? f.item : CleanStr(f.item),
                                        f.relation == 0 ? QString() : QStringLiteral("包含"))};
    const QString signs[3] = {QStringLiteral("增减"), QStringLiteral("增加"),
                              QStringLiteral("减少")};
    parts << QStringLiteral("增减：") + signs[std::clamp(f.sign, 0, 2)];
    const QString remark = CleanStr(f.remark);
    if (!remark.isEmpty())
        parts << QStringLiteral("备注：包含“") + remark + QStringLiteral("”");
    if (!f.usr.isEmpty())
        parts << QStringLiteral("操作员：") + f.usr;
    return Print::joinFilters(parts);
}

QStringList exportLines(const QVector<ReportLine>& lines) {
    QStringList out;
    if (lines.size() < 6)
        return out;
    out.append(csvLineOf(lines.at(1).text));
    for (const ReportLine& l : lines)
        if (!l.id.isEmpty())
            out.append(l.whole.isEmpty() ? csvLineOf(TextTable::squeezeBlanks(l.text)) : l.whole);
    out.append(csvLineOf(lines.at(lines.size() - 4).text));
    return out;
}

QString marker(const QString& first, const QString& zbid, const QString& stamp) {
    return first + QLatin1Char('#') + zbid + QLatin1Char('#') + stamp;
}

QString retireOne(const QString& usr, const QString& zbid, const QString& stamp,
                  const QString& id) {
    return QStringLiteral("update Zhang Set ZBID='") + SqlStr(marker(usr, zbid, stamp)) +
           QStringLiteral("' where ZBID='") + zbid + QStringLiteral("' and ID='") + SqlStr(id) +
           QLatin1Char('\'');
}

QStringList retireAll(const QString& usr, const QString& zbid, const QString& stamp,
                      const QStringList& ids, int chunk) {
    QStringList out;
    const QString head = QStringLiteral("update Zhang Set ZBID='") +
                         SqlStr(marker(usr, zbid, stamp)) + QStringLiteral("' where ZBID='") +
                         zbid + QStringLiteral("' and ID in (");
    for (int at = 0; at < ids.size(); at += chunk) {
        QStringList quoted;
        for (int i = at; i < std::min<int>(at + chunk, ids.size()); ++i)
            quoted.append(QLatin1Char('\'') + SqlStr(ids.at(i)) + QLatin1Char('\''));
        out.append(head + quoted.join(QLatin1Char(',')) + QLatin1Char(')'));
    }
    return out;
}

QString passwordStatement(const QString& zbid, const QString& usr) {
    return QStringLiteral("select PWd from UsrLst where ZBID='") + zbid +
           QStringLiteral("' and Usr='") + SqlStr(usr) + QLatin1Char('\'');
}

QString nothingToExport() {
    return QStringLiteral("请先使用【统计】功能列出历史记录，才能进行导出操作！");
}
QString nothingToDelete() {
    return QStringLiteral("请先使用【统计】功能列出历史记录，才能进行删除操作！");
}
QString exportDone() {
    return QStringLiteral("数据导出完成！\n\n是否需要打开这个Excel文件？");
}
QString askDeleteOne() {
    return QStringLiteral("真的要删除这条记录吗？");
}
QString batchWarning() {
    return QStringLiteral("    数据删除后将不可恢复！\n\n    您真的要删除表格中的所有历史记录吗？"
                          "\n\n    如果想放弃删除，请点击【取消】按钮；");
}
QString passwordPrompt() {
    return batchWarning() +
           QStringLiteral(
               "\n\n    如果确实要删除表格中所有数据，请输入您的操作员密码，再点击【确定】按钮。");
}
QString confirmPrompt() {
    return batchWarning() +
           QStringLiteral("\n\n    如果确认要继续进行删除操作，请点击【确定】按钮。");
}
QString wrongPassword() {
    return QStringLiteral("密码输入错误，删除操作取消！");
}
QString networkCancelled() {
    return QStringLiteral("网络异常，删除操作强制取消！");
}
QString batchDone() {
    return QStringLiteral("批量删除完成！");
}
QString selectToEdit() {
    return QStringLiteral("请首先选择您要修改的记录行！");
}
QString selectToDelete() {
    return QStringLiteral("请首先选择您要删除的记录行！");
}

} // namespace Journal
