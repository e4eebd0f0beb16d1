#include "admin/usrglrules.h"

#include "db/sqlaccess.h"

namespace UsrGLRules {

namespace {

const char16_t* const kBoxCaptions[kBoxCount] = {
    u"账本最高管理权限",
    u"账户余额增加",
    u"账户余额减少",
    u"记账窗口显示余额",
    u"查看查看库存报表",
    u"查看明细报表",
    u"查看汇总表",
    u"报表导出为Excel文件",
    u"帐目审核（预留）",
    u"漏账补录",
    u"修改账目",
    u"逐条删除账目",
    u"批量删除账目",
    u"修改自已的密码",
    u"",
    u"发布公告",
};

const QChar kOne = QLatin1Char('1');
const QChar kZero = QLatin1Char('0');

bool cleared(const QString& word, int right) {
    return word.at(right - 1) != kOne;
}

void clear(QString& word, int from, int to) {
    for (int n = from; n <= to; ++n)
        word[n - 1] = kZero;
}

QString where(const QString& zbid, const QString& usr) {
    return QStringLiteral(" where Zbid='") + SqlStr(zbid) + QStringLiteral("' and Usr='") +
           SqlStr(usr) + QLatin1Char('\'');
}

} // namespace

QString caption() {
    return QStringLiteral(" 操作员管理");
}
QString listHeading() {
    return QStringLiteral("    操作员列表");
}
QString boxCaption(int box) {
    return box >= 0 && box < kBoxCount ? QString::fromUtf16(kBoxCaptions[box]) : QString();
}
QString ledgerLabel(const QString& curZbNm) {
    return QStringLiteral("账本名称：") + curZbNm;
}
QString operatorLabel() {
    return QStringLiteral("操作员：");
}

QString viewCaption(int button) {
    const char16_t* captions[4] = {u"删 除", u"返 回", u"修 改", u"增 加"};
    return button >= 0 && button < 4 ? QString::fromUtf16(captions[button]) : QString();
}
QString editCaption(int button) {
    return button == 0   ? QStringLiteral("保 存")
           : button == 1 ? QStringLiteral("取 消")
                         : QString();
}

QString applyClearRules(QString word) {
    if (word.size() < kBoxCount)
        return word;
    if (cleared(word, 6))
        clear(word, 9, 13);
    if (cleared(word, 5) && cleared(word, 6) && cleared(word, 7))
        clear(word, 8, 8);
    if (cleared(word, 2) && cleared(word, 3))
        clear(word, 10, 11);
    return word;
}

QString wordFromBoxes(const bool ticked[kBoxCount], const QString& stored) {
    QString word;
    for (int k = 0; k < kBoxCount; ++k) {
        if (k == kReservedBox)
            word += stored.size() > k ? stored.at(k) : kZero;
        else
            word += ticked[k] ? kOne : kZero;
    }
    return word;
}

QString wordQuery(const QString& zbid, const QString& usr) {
    return QStringLiteral("select  Qx from UsrLst") + where(zbid, usr);
}
QString operatorInsert(const QString& zbid, const QString& usr, const QString& word) {
    return QStringLiteral("insert into UsrLst(ZbId,Usr,Pwd,Qx) values ('") + SqlStr(zbid) +
           QStringLiteral("','") + SqlStr(usr) + QStringLiteral("','','") + SqlStr(word) +
           QStringLiteral("')");
}
QString rightsUpdate(const QString& zbid, const QString& usr, const QString& word) {
    return QStringLiteral("update UsrLst set Qx='") + SqlStr(word) + QLatin1Char('\'') +
           QStringLiteral(" Where Zbid='") + SqlStr(zbid) + QStringLiteral("' and Usr='") +
           SqlStr(usr) + QLatin1Char('\'');
}
QString operatorDelete(const QString& zbid, const QString& usr) {
    return QStringLiteral("delete from Usrlst") + where(zbid, usr);
}
QString addOperatorCall(const QString& usr, const QString& word) {
    return QStringLiteral("select zelvo_add_operator('") + SqlStr(usr) + QStringLiteral("','") +
           SqlStr(word) + QStringLiteral("')");
}
QString setRightsCall(const QString& usr, const QString& word) {
    return QStringLiteral("select zelvo_set_rights('") + SqlStr(usr) + QStringLiteral("','") +
           SqlStr(word) + QStringLiteral("')");
}
QString removeOperatorCall(const QString& usr) {
    return QStringLiteral("select zelvo_remove_operator('") + SqlStr(usr) + QStringLiteral("')");
}
QString callRefusal(const QString& answer, const QString& usr, const QString& failed) {
    if (answer == QLatin1String("EXISTS"))
        return duplicateName(usr);
    if (answer == QLatin1String("DENIED"))
        return QStringLiteral("对不起，您无此权限！");
    if (answer == QLatin1String("MISSING"))
        return operatorGone(usr);
    return failed;
}
QString insertedRowQuery(const QString& zbid, const QString& usr) {
    return QStringLiteral("select Pwd,Qx from UsrLst") + where(zbid, usr);
}

FailedInsert afterFailedInsert(const QString& rows, bool lostConnection, const QString& pwd,
                               const QString& qx, const QString& word) {
    if (rows.toInt() <= 0)
        return FailedInsert::Failed;
    if (lostConnection && pwd.isEmpty() && qx == word)
        return FailedInsert::Ours;
    return FailedInsert::Taken;
}

QString readFailed(const QString& usr) {
    return QStringLiteral("连接服务器失败，未重读取") + usr + QStringLiteral("信息！\n\n请重试！");
}
QString enterNewName() {
    return QStringLiteral("请输入新增的操作员姓名！");
}
QString duplicateName(const QString& usr) {
    return QStringLiteral("账本中已经存在【") + usr +
           QStringLiteral("】这个操作员，新增的操作员不能重名！");
}
QString connectFailed() {
    return QStringLiteral("连接服务器失败，请重试！");
}
QString deleteConnectFailed() {
    return QStringLiteral("连接服务器失败！请重试！");
}
QString saved() {
    return QStringLiteral("保存成功！");
}
QString chooseToDelete() {
    return QStringLiteral("请选择要删除的操作员！");
}
QString cannotDeleteSelf() {
    return QStringLiteral("您不能删除您自已！");
}
QString askDelete(const QString& usr) {
    return QStringLiteral("真的要删除操作员【") + usr + QStringLiteral("】吗？");
}
QString deleted() {
    return QStringLiteral("删除成功！");
}
QString operatorGone(const QString& usr) {
    return QStringLiteral("服务器已经删除【") + usr + QStringLiteral("】这个操作员！");
}

} // namespace UsrGLRules
