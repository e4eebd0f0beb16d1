#include "admin/zbtyprules.h"

#include "app/format.h"
#include "db/sqlaccess.h"

namespace ZbTypRules {

namespace {

const QString kBr2 = QStringLiteral("\n\n");

QString incomplete(const QString& kind) {
    return QStringLiteral("请完整输入您的") + kind + QStringLiteral("（或其他联系方式）！");
}

// Digits only, then no leading zeros: "0086 1…" and "+86 1…" end up alike.
QString mobileDigits(const QString& text) {
    QString digits;
    for (const QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    int zeros = 0;
    while (zeros < digits.size() && digits.at(zeros) == QLatin1Char('0'))
        ++zeros;
    return digits.mid(zeros);
}

struct Option {
    const char16_t* caption;
    const char16_t* item;
    const char16_t* sl;
};

const Option kOptions[kOptionCount] = {
    {u"现金银行收支账(关键词：“账户”、“余额”)", u"账户", u"余额"},
    {u"仓库物品进出账(关键词：“物品”、“存量”)", u"物品", u"存量"},
    {u"客户欠款应收账(关键词：“客户”、“应收款”)", u"客户", u"应收款"},
    {u"数额增减流水账(关键词：“项目”、“数额”)", u"项目", u"数额"},
    {u"自定义账本类型(关键词：         、        )", u"", u""},
};

} // namespace

QString caption() {
    return QStringLiteral(" 账本设置");
}

QString frameCaption(int frame) {
    switch (frame) {
    case 0:
        return QStringLiteral("增加账本");
    case 1:
        return QStringLiteral("账本名称");
    case 2:
        return QStringLiteral("账本类型设置");
    }
    return {};
}

QString contactLabel() {
    return QStringLiteral("联系方式：");
}
QString okCaption() {
    return QStringLiteral("确 定");
}
QString cancelCaption() {
    return QStringLiteral("取 消");
}

QStringList contactKinds() {
    return {QStringLiteral("手机"), QStringLiteral("QQ号"), QStringLiteral("邮箱")};
}

Contact checkContact(const QString& typed, const QString& kind) {
    Contact c;
    c.text = CleanStr(typed).remove(QLatin1Char('#'));
    if (c.text.size() <= 4) {
        c.message = incomplete(kind);
        return c;
    }
    if (kind == QStringLiteral("邮箱")) {
        if (!c.text.contains(QLatin1Char('.')) || !c.text.contains(QLatin1Char('@')))
            c.message = QStringLiteral("您输入的  “") + c.text +
                        QStringLiteral("”不是正确的电子邮箱格式 ！");
    } else if (kind == QStringLiteral("手机")) {
        c.text = mobileDigits(c.text);
        if (c.text.size() <= 4)
            c.message = incomplete(kind);
        else if (c.text.size() != 11)
            c.message = QStringLiteral("手机号码应该为11位数字！");
    }
    return c;
}

QString cleanName(const QString& typed) {
    return CleanStr(typed).remove(QLatin1Char('#'));
}

QString newLedgerName(const QString& curZbNm) {
    return curZbNm.isEmpty() ? QStringLiteral("我的云账本") : QStringLiteral("新建") + curZbNm;
}

QString contactInfo() {
    return QStringLiteral("您的数据存放在云端服务器上，称为一个“账本”。") + kBr2 +
           QStringLiteral("一个账本对应一个手机号（或QQ号、或邮箱），") + kBr2 +
           QStringLiteral("用于明确账本归属，在忘记密码时也用于找回密码。") + kBr2 +
           QStringLiteral("请准确输入您的手机号码、或QQ号码、或电子邮箱。");
}

QString nameInfo() {
    return QStringLiteral("请输入账本名称，如：") + kBr2 +
           QStringLiteral("   “现金银行收支账”、“库存物品进出账”、") + kBr2 +
           QStringLiteral("   “对外应收应付账”、“专项资金消费账”……");
}

QString optionCaption(int option) {
    if (option < 0 || option >= kOptionCount)
        return {};
    return QString::fromUtf16(kOptions[option].caption);
}

Words typeWords(int option, const QString& custom0, const QString& custom1) {
    Words w;
    if (option >= 0 && option < kCustomOption) {
        w.item = QString::fromUtf16(kOptions[option].item);
        w.sl = QString::fromUtf16(kOptions[option].sl);
        return w;
    }
    w.item = CleanStr(custom0);
    w.sl = CleanStr(custom1);
    if (w.item.isEmpty() || w.sl.isEmpty())
        w.message = QStringLiteral("如果选择自定义账本类型，请输入关键词！");
    return w;
}

QString ledgerQuery(const QString& zbid) {
    return QStringLiteral("select ZBNM  from zblst Where ZBID='") + zbid + QStringLiteral("'");
}

QString ledgerInsert(const QString& zbid, const QString& zbnm, const QString& item,
                     const QString& sl, const QString& srvDate) {
    return QStringLiteral(
               "insert into Zblst (ZBid,ZbNm,Item,SL,Bz,BgDate,NdDate,MB,SalesMan,Msg) values ('") +
           zbid + QStringLiteral("','") + zbnm + QStringLiteral("','") + item +
           QStringLiteral("','") + sl + QStringLiteral("','自已注册','") + srvDate +
           QStringLiteral("','','','','您好！')");
}

QString ledgerNameCall(const QString& zbid) {
    return QStringLiteral("select n from zelvo_ledger_name('") + SqlStr(zbid) +
           QStringLiteral("') n where n is not null");
}

QString createLedgerCall(const QString& zbid, const QString& zbnm, const QString& item,
                         const QString& sl, const QString& srvDate) {
    QString call = QStringLiteral("select zelvo_create_ledger(");
    for (const QString* v : {&zbid, &zbnm, &item, &sl, &srvDate})
        call += (v == &zbid ? QStringLiteral("'") : QStringLiteral(",'")) + SqlStr(*v) +
                QLatin1Char('\'');
    return call + QLatin1Char(')');
}

QString firstOperatorInsert(const QString& zbid) {
    return QStringLiteral("insert into UsrLst (Zbid,Usr,Pwd) values ('") + zbid +
           QStringLiteral("','管理员','')");
}

QString settingsUpdate(const QString& zbid, const QString& zbnm, const QString& item,
                       const QString& sl) {
    // The name may come from the server as another client wrote it.
    return QStringLiteral("Update Zblst Set ZbNm='") + SqlStr(zbnm) + QStringLiteral("', Item='") +
           SqlStr(item) + QStringLiteral("',SL='") + SqlStr(sl) + QStringLiteral("' Where Zbid='") +
           SqlStr(zbid) + QStringLiteral("'");
}

QString renameUpdate(const QString& zbid, const QString& zbnm) {
    return QStringLiteral("update zblst set zbnm='") + SqlStr(zbnm) +
           QStringLiteral("' where zbid='") + SqlStr(zbid) + QLatin1Char('\'');
}

QString connectFailed() {
    return QStringLiteral("连接服务器失败，请重试！");
}

QString createFailed() {
    return QStringLiteral("注册新账本失败，请检查网络连接是否正常，然后重试！");
}

QString saveFailed() {
    return QStringLiteral("账本设置保存失败，请检查网络连接是否正常，然后重试！");
}

QString failureTitle() {
    return QStringLiteral("提示");
}

} // namespace ZbTypRules
