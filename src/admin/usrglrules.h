#pragma once
// Operator management without its widgets: the box rules of the rights word, the texts and the
// statements.

#include <QString>

namespace UsrGLRules {

constexpr int kBoxCount = 16;
// Box 14 stands for the reserved position 15; it is never shown.
constexpr int kReservedBox = 14;

QString caption();           // " 操作员管理"
QString listHeading();       // "    操作员列表"
QString boxCaption(int box); // empty for the reserved box
QString ledgerLabel(const QString& curZbNm);
QString operatorLabel(); // "操作员："
// Cmd_0 … Cmd_3 in viewing mode, and Cmd_0 / Cmd_1 while editing.
QString viewCaption(int button);
QString editCaption(int button);

// The word after a box was cleared by the user: right 6 cleared clears 9 to 13; 5, 6 and 7
// cleared clear 8; 2 and 3 cleared clear 10 and 11.
QString applyClearRules(QString word);

// The word written for the ticked boxes (16 flags in box order). The reserved position keeps
// `stored` when modifying, and is "0" for a new operator (`stored` empty).
QString wordFromBoxes(const bool ticked[kBoxCount], const QString& stored);

// Statements; names are quoted with SqlStr.
QString wordQuery(const QString& zbid, const QString& usr);
QString operatorInsert(const QString& zbid, const QString& usr, const QString& word);
// After a failed insert: the operator's row as the server has it (Pwd, Qx).
QString insertedRowQuery(const QString& zbid, const QString& usr);
enum class FailedInsert { Ours, Taken, Failed };
// `rows` is insertedRowQuery's answer. A row equal to the one sent is ours only when the insert
// went down with its connection: its reply was lost, not its row.
FailedInsert afterFailedInsert(const QString& rows, bool lostConnection, const QString& pwd,
                               const QString& qx, const QString& word);
QString rightsUpdate(const QString& zbid, const QString& usr, const QString& word);
QString operatorDelete(const QString& zbid, const QString& usr);

// The same through a secure server's functions, which check the caller's right 1 themselves
// and answer "OK", "EXISTS", "DENIED" or "MISSING".
QString addOperatorCall(const QString& usr, const QString& word);
QString setRightsCall(const QString& usr, const QString& word);
QString removeOperatorCall(const QString& usr);
// The message for a function's answer other than "OK"; `failed` for no answer at all.
QString callRefusal(const QString& answer, const QString& usr, const QString& failed);

// Messages.
QString readFailed(const QString& usr);
QString enterNewName();
QString duplicateName(const QString& usr);
QString connectFailed();       // "连接服务器失败，请重试！"
QString deleteConnectFailed(); // "连接服务器失败！请重试！"
QString saved();
QString chooseToDelete();
QString cannotDeleteSelf();
QString askDelete(const QString& usr);
QString deleted();
QString operatorGone(const QString& usr);

} // namespace UsrGLRules
