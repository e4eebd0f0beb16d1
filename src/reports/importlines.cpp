#include "reports/importlines.h"

#include "app/format.h"
#include "app/fullwidth.h"
#include "app/gb18030.h"
#include "app/mainbas.h"
#include "db/sqlaccess.h"
#include "main_window/entry.h"
#include "reports/reportcommon.h"

#include <QRegularExpression>
#include <QVarLengthArray>

#include <charconv>
#include <cmath>

namespace Import {

namespace {

QString joined(const QString& text) {
    return text.contains(u'-') ? Entry::joinDashes(text) : text;
}

bool isTotals(const QString& itemCell) {
    if (!itemCell.contains(u'计'))
        return false;
    const QString key = headerKey(itemCell);
    return key == QStringLiteral("合计") || key == QStringLiteral("总计") ||
           key == QStringLiteral("小计");
}

int countedWidth(const QString& text, bool bytes) {
    return bytes ? static_cast<int>(Gb18030::encode(text).size())
                 : static_cast<int>(text.toUcs4().size());
}

QString tooLong(const QString& what, int width, bool bytes) {
    return what + QStringLiteral("太长（最多%1%2）")
                      .arg(width)
                      .arg(bytes ? QStringLiteral("字节") : QStringLiteral("个字"));
}

struct Quantity {
    int columns = 0;
    double value = 0;
    QString error;
};

void addQuantity(Quantity& q, const QString& cell, Field f, const QString& caption) {
    double v = 0;
    const NumberForm form = readNumber(cell, &v);
    if (form == NumberForm::Empty || !q.error.isEmpty())
        return;
    ++q.columns;
    if (form == NumberForm::NotNumber)
        q.error = caption + QStringLiteral("不是数字");
    else if (form == NumberForm::OutOfRange)
        q.error = caption + QStringLiteral("超出范围");
    else
        q.value += f == Field::Change ? v : f == Field::Increase ? std::fabs(v) : -std::fabs(v);
    // Two columns may each hold a number a double takes and still add up past the largest.
    if (q.error.isEmpty() && !std::isfinite(q.value))
        q.error = QStringLiteral("数量超出范围");
}

// A sum of many lines may pass the largest double as well.
QString totalText(double total) {
    return std::isfinite(total) ? NumStr(total) : QStringLiteral("超出范围");
}

} // namespace

QString limitsStatement() {
    if (Db::currentEngine() == Db::Engine::Sqlite)
        return {};
    return QStringLiteral("select lower(column_name),lower(data_type),character_maximum_length "
                          "from information_schema.columns where lower(table_name)='zhang' and "
                          "lower(column_name) in ('item','bz')");
}

Limits limitsFromResult(bool codePageBytes) {
    using MainBas::SqlRows;
    Limits l;
    for (int i = 1; i < MainBas::SqlRowMax; ++i) {
        const int width = std::max(0, SqlRows(i, 2).toInt()); // -1: varchar(max)
        (SqlRows(i, 0) == QLatin1String("item") ? l.item : l.remark) = width;
        // SQL Server's varchar counts bytes of its code page; nvarchar and PostgreSQL count
        // characters.
        const QString type = SqlRows(i, 1);
        l.bytes =
            codePageBytes && (type == QLatin1String("varchar") || type == QLatin1String("char"));
    }
    return l;
}

Limits readLimits() {
    const QString statement = limitsStatement();
    if (statement.isEmpty() || RunSql(statement).toInt() <= 0)
        return {};
    return limitsFromResult(Db::currentDialect() == Db::Engine::Odbc);
}

namespace {

// What every line of one sheet is read with.
struct Context {
    Context(const Words& w, const Limits& l)
        : words(w), limits(l), captions(fieldCaptions(w.itemWord)),
          all(ReportCommon::allItems(w.itemWord)) {}
    Words words;
    Limits limits;
    QStringList captions;
    QString all; // "全部" + the item word
};

QString itemError(const QString& item, const Context& c) {
    if (item.isEmpty())
        return c.words.itemWord + QStringLiteral("是空的");
    if (item.contains(c.all, Qt::CaseInsensitive))
        return c.words.itemWord + QStringLiteral("中不能包含“") + c.all +
               QStringLiteral("”这样的词");
    if (c.limits.item > 0 && countedWidth(item, c.limits.bytes) > c.limits.item)
        return tooLong(c.words.itemWord, c.limits.item, c.limits.bytes);
    return {};
}

// "yyyy-mm-dd hh:mm"
QString stampText(const QDate& d, const QTime& t) {
    QString s = QStringLiteral("0000-00-00 00:00");
    const auto put = [&s](int at, int width, int value) {
        for (int i = at + width - 1; i >= at; --i, value /= 10)
            s[i] = QChar(u'0' + value % 10);
    };
    put(0, 4, d.year());
    put(5, 2, d.month());
    put(8, 2, d.day());
    put(11, 2, t.hour());
    put(14, 2, t.minute());
    return s;
}

Line parseWith(const Record& r, const QVector<Field>& mapping, const Context& c) {
    Line l;
    l.line = r.line;
    if (!r.error.isEmpty()) {
        l.error = r.error;
        return l;
    }
    Quantity q;
    QString timeCell, itemCell, remarkCell;
    const QString none;
    for (int i = 0; i < mapping.size(); ++i) {
        const QString& cell = i < r.cells.size() ? r.cells.at(i) : none;
        const Field f = mapping.at(i);
        if (f == Field::Item)
            itemCell = cell;
        else if (f == Field::Remark)
            remarkCell = cell;
        else if (f == Field::Time)
            timeCell = cell.trimmed();
        else if (f == Field::Operator)
            l.operatorName = cell.trimmed();
        else if (f == Field::Change || f == Field::Increase || f == Field::Decrease)
            addQuantity(q, cell, f, c.captions.at(static_cast<int>(f)));
    }
    l.skip = isTotals(itemCell);
    l.item = joined(CleanStr(itemCell));
    l.quantity = q.value;
    if (!remarkCell.isEmpty())
        l.remark = joined(CleanStr(remarkCell));
    QString what = itemError(l.item, c);
    if (what.isEmpty())
        what = !q.error.isEmpty() ? q.error
               : q.columns == 0   ? QStringLiteral("增减是空的")
               : l.quantity == 0  ? QStringLiteral("增减是0")
                                  : QString();
    if (what.isEmpty() && c.limits.remark > 0 &&
        countedWidth(l.remark, c.limits.bytes) > c.limits.remark)
        what = tooLong(QStringLiteral("备注"), c.limits.remark, c.limits.bytes);
    QDate day;
    QTime time;
    if (what.isEmpty() && !timeCell.isEmpty()) {
        if (readTime(timeCell, &day, &time)) {
            l.tm = stampText(day, time);
            l.second = time.second();
        } else {
            what = QStringLiteral("时间“") + timeCell + QStringLiteral("”不是有效的日期时间");
        }
    }
    if (!what.isEmpty())
        l.error = lineError(r.line, what);
    return l;
}

} // namespace

Line parseLine(const Record& r, const QVector<Field>& mapping, const Words& words,
               const Limits& limits) {
    return parseWith(r, mapping, Context(words, limits));
}

QVector<Line> parseAll(const Sheet& sheet, const Words& words, const Limits& limits) {
    const Context context(words, limits);
    QVector<Line> out;
    out.reserve(sheet.records.size());
    for (const Record& r : sheet.records) {
        Line l = parseWith(r, sheet.mapping, context);
        if (!l.skip)
            out.append(std::move(l));
    }
    return out;
}

Counts countLines(const QVector<Line>& lines) {
    Counts c;
    for (const Line& l : lines) {
        ++c.lines;
        if (!l.error.isEmpty()) {
            ++c.errors;
        } else if (l.quantity > 0) {
            ++c.increases;
            c.increased += l.quantity;
        } else {
            ++c.decreases;
            c.decreased -= l.quantity;
        }
    }
    return c;
}

QString countsText(const Counts& c, const QString& mappingError) {
    QString s = QStringLiteral("共%1行：增加%2行，合计%3；减少%4行，合计%5")
                    .arg(c.lines)
                    .arg(c.increases)
                    .arg(totalText(c.increased))
                    .arg(c.decreases)
                    .arg(totalText(c.decreased));
    if (!mappingError.isEmpty())
        return s + QStringLiteral("。") + mappingError + QStringLiteral("。");
    if (c.errors > 0)
        s += QStringLiteral("；%1行有错误，请改正文件，或把出错的列设为(不导入)").arg(c.errors);
    return s + QStringLiteral("。");
}

} // namespace Import
