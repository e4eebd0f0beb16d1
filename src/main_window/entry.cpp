#include "main_window/entry.h"

#include "admin/rights.h"
#include "app/format.h"
#include "app/fullwidth.h"
#include "app/mainbas.h"
#include "db/sqlaccess.h"
#include "reports/importforms.h"

#include <cmath>

namespace Entry {

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QString replaceAll(QString text, const QString& from, const QString& to) {
    while (text.contains(from))
        text.replace(from, to);
    return text;
}

Decision refuse(Decision d, const QString& message, const QString& title = QString()) {
    d.accepted = false;
    d.message = message;
    d.title = title;
    return d;
}

const QString kHint = QStringLiteral("提示");

} // namespace

QString shapeText(const QString& text) {
    int first = 0;
    while (first < text.size() && text.at(first) == QLatin1Char(' '))
        ++first;
    if (first == text.size())
        return text;
    const QChar c = text.at(first);
    if (isDigit(c))
        return QLatin1Char('+') + text.mid(first);
    if (c == QLatin1Char('.'))
        return QStringLiteral("+0") + text.mid(first);
    return text;
}

Typed shapeTyped(const QString& text, int cursor) {
    const QString ascii = FullWidth::numberToAscii(text);
    const QString shaped = shapeText(ascii);
    return {shaped, shaped == ascii ? cursor : static_cast<int>(shaped.size())};
}

QString joinDashes(QString text) {
    text = replaceAll(text, QStringLiteral(" -"), QStringLiteral("-"));
    return replaceAll(text, QStringLiteral("- "), QStringLiteral("-"));
}

double leadingNumber(const QString& text) {
    int i = 0;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    bool point = false;
    while (i < text.size() && (isDigit(text.at(i)) || (text.at(i) == QLatin1Char('.') && !point))) {
        point = point || text.at(i) == QLatin1Char('.');
        ++i;
    }
    const QString number = text.left(i);
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (ok)
        return value;
    // The conversion fails on a number too large for a double, and on one too small to tell
    // from zero: a whole part other than zeros tells which.
    const bool negative = number.startsWith(QLatin1Char('-'));
    for (QChar c : number.section(QLatin1Char('.'), 0, 0))
        if (isDigit(c) && c != QLatin1Char('0'))
            return negative ? -HUGE_VAL : HUGE_VAL;
    return negative ? -0.0 : 0.0;
}

Split splitText(const QString& cleanedText) {
    Split s;
    int i = 0;
    for (; i < cleanedText.size(); ++i) {
        const QChar c = cleanedText.at(i);
        const bool sign = c == QLatin1Char('+') || c == QLatin1Char('-');
        // A comma between digits groups them ("+1,000"; CleanStr has made it "，"); before
        // anything else it ends the number, as a blank does.
        const bool comma = c == QLatin1Char(',') || c == QChar(0xFF0C);
        if (comma && i > 0 && isDigit(cleanedText.at(i - 1)) && i + 1 < cleanedText.size() &&
            isDigit(cleanedText.at(i + 1)))
            s.numberText += QLatin1Char(',');
        else if (isDigit(c) || c == QLatin1Char('.') || (sign && i == 0))
            s.numberText += c;
        else
            break;
    }
    if (s.numberText.contains(QLatin1Char(','))) {
        // Read as an import reads a cell: groups of three, or not a number at all. "+1,00"
        // is no number to store as 1 with ",00" for its remark.
        s.readable = Import::readNumber(s.numberText, &s.quantity) == Import::NumberForm::Ok;
    } else {
        s.quantity = leadingNumber(s.numberText);
    }
    // Whatever follows the number is the remark, a single character included: nothing typed
    // is dropped.
    QString remark = CleanStr(cleanedText.mid(i));
    remark.remove(QLatin1Char('|'));
    s.remark = joinDashes(remark);
    return s;
}

QString NewRecID(const QString& srvDate, const QTime& localTime) {
    const QString digits = QString(srvDate).remove(QLatin1Char('-'));
    const int year = digits.left(4).toInt();
    const float hundredths = static_cast<float>(localTime.msecsSinceStartOfDay()) / 10.0f;
    return QChar(year - 1948) + digits.mid(4, 4) +
           QStringLiteral("%1").arg(static_cast<long>(std::lround(hundredths)), 7, 10,
                                    QLatin1Char('0'));
}

Decision check(const Input& in) {
    Decision d;
    if (in.qx.mid(1, 2) == QLatin1String("00"))
        return refuse(d, QStringLiteral("对不起，您没有【记账】的权限！"));
    d.cleaned = true;
    d.item = CleanStr(in.item);
    d.text = CleanStr(FullWidth::numberToAscii(in.text));
    if (d.item.isEmpty())
        return refuse(d, QStringLiteral("请输入或选择") + in.itemName + QStringLiteral("！"),
                      kHint);
    d.item = joinDashes(d.item);
    const QString all = QStringLiteral("全部") + in.itemName;
    if (d.item.contains(all))
        return refuse(
            d, in.itemName + QStringLiteral("中不能包含“") + all + QStringLiteral("”这样的词！"),
            kHint);
    const QString noNumber = QStringLiteral("请输入") + in.lab2Caption + QStringLiteral("数字！");
    if (d.text.size() < 2)
        return refuse(d, noNumber, kHint);
    const QString wrongForm = QStringLiteral("请在") + in.lab2Caption +
                              QStringLiteral("栏输入数字，备注信息请放在数字之后，并用空格隔开！");
    const QChar first = d.text.at(0);
    if ((first != QLatin1Char('+') && first != QLatin1Char('-')) || !isDigit(d.text.at(1)))
        return refuse(d, wrongForm);
    d.split = splitText(d.text);
    if (!d.split.readable)
        return refuse(d, wrongForm);
    if (!std::isfinite(d.split.quantity))
        return refuse(d, noNumber, kHint);
    const bool increase = d.split.quantity >= 0;
    if (increase && !Rights::has(in.qx, Rights::Increase))
        return refuse(d, QStringLiteral("对不起，您只能记录") + in.slName +
                             QStringLiteral("减少的账目！"));
    if (!increase && !Rights::has(in.qx, Rights::Decrease))
        return refuse(d, QStringLiteral("对不起，您只能记录") + in.slName +
                             QStringLiteral("增加的账目！"));
    d.accepted = true;
    return d;
}

QString insertStatement(const QString& zbid, const QString& usr, const QString& tm,
                        const QString& id, const QString& item, double quantity,
                        const QString& remark) {
    // The operator's name comes from the server and may hold a quote typed by another client.
    return QStringLiteral("insert into Zhang (ZBID,USR,TM,ID,ITEM,SL,BZ) values ('") +
           SqlStr(zbid) + QStringLiteral("','") + SqlStr(usr) + QStringLiteral("','") + tm +
           QStringLiteral("','") + id + QStringLiteral("','") + SqlStr(item) +
           QStringLiteral("',") + shortestDecimal(quantity) + QStringLiteral(",'") +
           SqlStr(remark) + QStringLiteral("')");
}

QString nextRecID(const QString& id, int step) {
    return id.left(5) +
           QStringLiteral("%1").arg(id.mid(5).toLong() + step, 7, 10, QLatin1Char('0'));
}

namespace {

// How far ahead a failed save looks for a free id in one statement: thirty seconds.
constexpr int kLookAhead = 3000;

// After a failed insert of `id`: "" when nobody holds it (the failure was something else),
// `id` itself when the insert went down with its connection and the row there is ours (it
// went through but its reply was lost: it must not be stored twice), otherwise the first id
// after it that nobody holds. Only a lost connection makes an equal row ours: the same
// operator on two computers may well save the same entry in the same hundredth.
QString afterFailedInsert(const Row& row, const QString& tm, const QString& id, bool mayBeOurs) {
    const QString last = nextRecID(id, kLookAhead - 1);
    const QString found =
        RunSql(QStringLiteral("select ID,USR,TM,ITEM,SL,BZ from Zhang where ZBID='") +
               SqlStr(row.zbid) + QStringLiteral("' and ID>='") + id +
               QStringLiteral("' and ID<='") + last + QStringLiteral("' order by ID"));
    using MainBas::SqlRows;
    if (found.toInt() <= 0 || SqlRows(1, 0) != id)
        return {};
    const bool ours = mayBeOurs && SqlRows(1, 1) == row.usr && SqlRows(1, 2).startsWith(tm) &&
                      SqlRows(1, 3) == row.item && SqlRows(1, 4).toDouble() == row.quantity &&
                      SqlRows(1, 5) == row.remark;
    if (ours)
        return id;
    QString next = nextRecID(id);
    for (int i = 2; i <= found.toInt() && SqlRows(i, 0) == next; ++i)
        next = nextRecID(next);
    return next;
}

} // namespace

QString saveRow(const Row& row, QString* storedId) {
    // Other clients may take the free id found before this one gets to it; each round at
    // least one of them succeeds, so a few rounds are enough.
    const QString tm = row.date + QLatin1Char(' ') + row.time.toString(QStringLiteral("HH:mm"));
    return insertRow(row, tm, NewRecID(row.date, row.time), storedId);
}

QString insertRow(const Row& row, const QString& tm, QString id, QString* storedId) {
    // Busy clients that save without pause may take the next free id round after round; a
    // round costs one failed insert and one read, so a long run of them is still cheap.
    constexpr int kTries = 100;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (storedId)
            *storedId = id;
        if (RunSql(insertStatement(row.zbid, row.usr, tm, id, row.item, row.quantity,
                                   row.remark)) == QLatin1String("OK"))
            return QStringLiteral("OK");
        // Nothing reached the server: there is no row to look for, and no second wait.
        if (Db::lastFailure() == Db::Failure::NotReached)
            return {};
        const QString next = afterFailedInsert(row, tm, id, Db::lastCommandLostConnection());
        if (next.isEmpty())
            return {};
        if (next == id)
            return QStringLiteral("OK");
        id = next;
    }
    return {};
}

QString itemListStatement(const QString& zbid) {
    return QStringLiteral("select  Item from Zhang where Zbid='") + zbid +
           QStringLiteral("' group by Item");
}

QString itemSumStatement(const QString& zbid, const QString& item) {
    return QStringLiteral("select sum(SL) from Zhang Where Zbid='") + SqlStr(zbid) +
           QStringLiteral("' and Item='") + SqlStr(item) + QStringLiteral("' group by Zbid,Item");
}

QString currentQuantityText(const QString& slName, const QString& number) {
    return QStringLiteral("当前") + slName + QStringLiteral("：") + number;
}

QString clickToSeeText(const QString& slName) {
    return QStringLiteral("点击这里查看") + slName;
}

QString newItemText(const QString& itemName) {
    return QStringLiteral("新") + itemName;
}

QString savedText(const QString& numberText) {
    return numberText + QStringLiteral("  已保存！");
}

QString stopShowingCaption(const QString& slName) {
    return QStringLiteral("取消") + slName + QStringLiteral("显示（记账加速）");
}

QString autoShowCaption(const QString& slName) {
    return slName + QStringLiteral("自动显示");
}

QString seeItemCaption(const QString& item, const QString& slName) {
    return QStringLiteral("查看【") + item + QStringLiteral("】") + slName;
}

QString connectFailedRetry() {
    return QStringLiteral("连接服务器失败，请重试！");
}

} // namespace Entry
