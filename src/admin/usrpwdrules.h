#pragma once
// Password change without its widgets: the check of the two entries, texts and statements.

#include <QString>

namespace UsrPwdRules {

QString caption(); // " 修改密码"
QString ledgerLabel(const QString& curZbNm);
QString operatorLabel();
QString passwordLabel();
QString confirmLabel();
QString okCaption();
QString cancelCaption();

// The refusal for two typed passwords, empty when they may be stored. Compared exactly, as
// typed: blanks and letter case count.
QString checkPasswords(const QString& p1, const QString& p2);

// The operator's row is checked, then its password changed in place: the rights word and any
// other column stay as they are.
QString operatorQuery(const QString& zbid, const QString& usr);
QString passwordUpdate(const QString& zbid, const QString& usr, const QString& pwd);

// A secure server takes only the verifier of the new password (never the password itself) and
// sets it for the caller's own login.
QString setPasswordCall(const QString& verifier);

QString connectFailed();
QString operatorGone(const QString& usr);

} // namespace UsrPwdRules
