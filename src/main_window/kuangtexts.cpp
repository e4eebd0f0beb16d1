#include "main_window/kuangtexts.h"

#include "app/mainbas.h"
#include "db/sqlaccess.h"

using namespace MainBas;

namespace KuangTexts {

QString backForServerSettings() {
    return QStringLiteral("更改服务器设置要先回到账本列表，现在回到账本列表吗？");
}

namespace {
const QString kBr2 = QStringLiteral("\n\n");
} // namespace

QString addEntry() {
    return QStringLiteral("   点击这里增加账本");
}

QString addedAskOpen(const QString& name) {
    return QStringLiteral("已经把账本【") + name + QStringLiteral("】加入账本列表框，") + kBr2 +
           QStringLiteral("是否现在就打开该账本？");
}

QString nothingToRemove() {
    return QStringLiteral("没有账本可删除！");
}

QString askRemove(const QString& name) {
    return QStringLiteral("真的要删除《") + name + QStringLiteral("》这个账本吗？");
}

QString showIdText(const QString& name, const QString& id) {
    return QStringLiteral("您的账本《") + name + QStringLiteral("》在服务器上的ID号是：") + kBr2 +
           QString(9, QLatin1Char(' ')) + id + kBr2 +
           QStringLiteral("请牢记这个ID号，以便在其他电脑上使用时凭此连接账本。") + kBr2 +
           QStringLiteral("是否需要复制这个ID号，以便您直接粘贴到需要的位置？");
}

QString showIdTitle() {
    return QStringLiteral("账本ID");
}

QString copiedText(const QString& id) {
    return QStringLiteral("已经复制“") + id + QStringLiteral("”！") + kBr2 +
           QStringLiteral("您可以粘贴到您需要的位置！");
}

QString caption() {
    return AppTitle + QLatin1Char('(') + AppVer + QLatin1Char(')');
}

QString ledgerPanelTop() {
    return QStringLiteral("Zelvo 云 记 账");
}

QString welcome() {
    return QStringLiteral("    您好！欢迎使用《") + AppTitle + QStringLiteral("》！");
}

QString supplierLines() {
    return QStringLiteral("Zelvo 云记账由 Zelvo 软件工作室开发和维护。") + kBr2 +
           QStringLiteral("使用帮助：点击下方【软 件 说 明】查看。") + kBr2 +
           QStringLiteral("意见与建议：请在【软 件 说 明】中找到联系方式。");
}

QString loginHint() {
    return QStringLiteral("    请选择操作员，输入密码，然后【登入】远程账本。") + kBr2 +
           QStringLiteral("     如果您没有设置过密码，则密码为空（即不需要输入密码）。");
}

QString entryHint(const QString& itemName, const QString& slName) {
    return QStringLiteral("    请输入或选择") + itemName + QStringLiteral("，然后输入") + slName +
           QStringLiteral("变动情况。") + kBr2 + QStringLiteral("     如：") + slName +
           QStringLiteral("增加10，输入“+10”，") + slName + QStringLiteral("减少5，输入“-5”。") +
           kBr2 + QStringLiteral("     数字后面加空格再加文字，如“-5 计划外”，即表示备注说明。");
}

QString exitQuestion() {
    return QStringLiteral("您确定要退出《") + AppTitle + QStringLiteral("》吗？") + kBr2 +
           QStringLiteral("点击<是>退出本软件，点击<否>本窗口将缩小为右下角托盘图标。");
}

QString aboutText() {
    return AppTitle + QLatin1Char(' ') + AppVer + kBr2 +
           QStringLiteral("本软件的著作权归 Zelvo 软件工作室所有。") + kBr2 +
           QStringLiteral("数据保存在您所连接的云端数据库中，本机只保存账本列表和个人设置。") +
           kBr2 + QStringLiteral("使用帮助：托盘菜单或【软 件 说 明】中的“软件教学视频”。") + kBr2 +
           QStringLiteral("联系我们：请见随软件安装的帮助页面。");
}

QString aboutTitle() {
    return QStringLiteral("关于本软件");
}

Notice parseNotice(const QString& gongGaoStr) {
    Notice n;
    n.text = gongGaoStr;
    const int sep = gongGaoStr.indexOf(QChar(0x2502));
    if (sep >= 1) {
        bool ok = false;
        const qint64 colour = gongGaoStr.left(sep).trimmed().toLongLong(&ok);
        n.hasColour = ok;
        n.colour = static_cast<int>(colour);
        n.text = gongGaoStr.mid(sep + 1);
    }
    return n;
}

ServerCommand classifyCommand(const QString& cleanedCommand) {
    const QString c = cleanedCommand.toUpper();
    if (c == QLatin1String("NOTICE"))
        return ServerCommand::Notice;
    if (c == QLatin1String("STOP"))
        return ServerCommand::Stop;
    if (c.left(4) == QLatin1String("HTTP"))
        return ServerCommand::Http;
    return ServerCommand::None;
}

bool isWebAddress(const QString& text) {
    return text.left(4).toUpper() == QLatin1String("HTTP");
}

QString ledgerQuery(const QString& zbid) {
    return QStringLiteral("select Item,SL,Msg,Cmd,GongGao from ZbLst where ZBid='") + zbid +
           QLatin1Char('\'');
}

QString commandReset(const QString& srvDate, const QString& zbid) {
    return QStringLiteral("update Zblst set Cmd='") + srvDate + QStringLiteral("' where Zbid='") +
           zbid + QLatin1Char('\'');
}

QString operatorsQuery(const QString& zbid) {
    return QStringLiteral("select Usr from UsrLst where ZBid='") + zbid + QLatin1Char('\'');
}

QString adminInsert(const QString& zbid) {
    return QStringLiteral("insert into UsrLst (ZBID,Usr,PWD) values ('") + zbid +
           QStringLiteral("','管理员','')");
}

QString ledgerCall(const QString& zbid) {
    return QStringLiteral("select item,sl,msg,cmd,gonggao from zelvo_open_ledger('") +
           SqlStr(zbid) + QStringLiteral("')");
}

QString commandResetCall(const QString& srvDate, const QString& zbid) {
    return QStringLiteral("select zelvo_reset_cmd('") + SqlStr(zbid) + QStringLiteral("','") +
           SqlStr(srvDate) + QStringLiteral("')");
}

QString operatorsCall(const QString& zbid) {
    return QStringLiteral("select usr from zelvo_ledger_operators('") + SqlStr(zbid) +
           QStringLiteral("') usr");
}

QString firstAddLedger() {
    return QStringLiteral("请首先按提示增加账本，然后再【打开账本】！");
}
QString connectFailed() {
    return QStringLiteral("连接服务器失败！");
}
QString noSuchLedger() {
    return QStringLiteral("服务器上不存在该账本！");
}
QString stopText(const QString& zbMsg) {
    return zbMsg + kBr2 + QStringLiteral("打开账本操作失败！");
}
QString openingWait(const QString& name) {
    return QStringLiteral("正在打开【") + name + QStringLiteral("】……");
}
QString readingOperatorsWait() {
    return QStringLiteral("正在读入操作员列表……");
}

QString loginQuery(const QString& zbid, const QString& usr) {
    return QStringLiteral("select Pwd,QX from UsrLst where ZBid='") + zbid +
           QStringLiteral("' and Usr='") + usr + QLatin1Char('\'');
}

QString secureLoginQuery(const QString& zbid, const QString& usr) {
    return QStringLiteral("select QX from UsrLst where ZBid='") + SqlStr(zbid) +
           QStringLiteral("' and Usr='") + SqlStr(usr) + QLatin1Char('\'');
}

QString verifyingWait(const QString& usr) {
    return usr + QStringLiteral("，您好！ 正在核实身份……");
}

QString operatorDeleted(const QString& usr) {
    return QStringLiteral("服务器已经删除【") + usr + QStringLiteral("】这个操作员！");
}

QString wrongPassword() {
    return QStringLiteral("密码错误，您不能登入！");
}

QString readingItemsWait(const QString& itemName) {
    return QStringLiteral("正在读取账本中的") + itemName + QStringLiteral("信息……");
}

QString greeting(const QString& usr, const QString& zbMsg) {
    return usr + QStringLiteral("，") + zbMsg;
}

QString noPasswordForAutoLogin(const QString& usr) {
    return usr + QStringLiteral("，您好！您还没有设置密码！") + kBr2 +
           QStringLiteral("只有设置密码后才可以设置自动登入！");
}

QString hello() {
    return QStringLiteral("您好！");
}

QString balanceListCaption(const QString& itemName, const QString& slName) {
    return itemName + slName + QStringLiteral("表");
}

QString journalCaption(const QString& itemName) {
    return itemName + QStringLiteral("流水账");
}

QString summaryCaption(const QString& itemName) {
    return itemName + QStringLiteral("汇总表");
}

} // namespace KuangTexts
