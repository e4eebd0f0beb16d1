#include "admin/usrpwdrules.h"

#include "db/sqlaccess.h"

namespace UsrPwdRules {

QString caption() {
    return QStringLiteral(" 修改密码");
}
QString ledgerLabel(const QString& curZbNm) {
    return QStringLiteral("账本名称： ") + curZbNm;
}
QString operatorLabel() {
    return QStringLiteral("操 作 员：");
}
QString passwordLabel() {
    return QStringLiteral("设置密码：");
}
QString confirmLabel() {
    return QStringLiteral("确认密码：");
}
QString okCaption() {
    return QStringLiteral("确 定");
}
QString cancelCaption() {
    return QStringLiteral("取 消");
}

QString checkPasswords(const QString& p1, const QString& p2) {
    if (p1 != p2)
        return QStringLiteral("两次输入的密码不相同！");
    if (p1.isEmpty())
        return QStringLiteral("请两次输入密码，再点击【确定】！");
    return {};
}

QString operatorQuery(const QString& zbid, const QString& usr) {
    return QStringLiteral("select Usr from UsrLst where ZBID='") + SqlStr(zbid) +
           QStringLiteral("' and Usr='") + SqlStr(usr) + QLatin1Char('\'');
}
QString passwordUpdate(const QString& zbid, const QString& usr, const QString& pwd) {
    return QStringLiteral("update UsrLst set Pwd='") + SqlStr(pwd) +
           QStringLiteral("' where ZBID='") + SqlStr(zbid) + QStringLiteral("' and Usr='") +
           SqlStr(usr) + QLatin1Char('\'');
}

QString setPasswordCall(const QString& verifier) {
    return QStringLiteral("select zelvo_set_password('") + SqlStr(verifier) + QStringLiteral("')");
}

QString connectFailed() {
    return QStringLiteral("连接服务器失败，请重试！");
}
QString operatorGone(const QString& usr) {
    return QStringLiteral("服务器已经删除【") + usr + QStringLiteral("】这个操作员！");
}

} // namespace UsrPwdRules
