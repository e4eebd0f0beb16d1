#pragma once
// The ledger dialog's rules, texts and statements, kept apart from its widgets.

#include <QString>
#include <QStringList>

namespace ZbTypRules {

// Window and frame captions.
QString caption();               // " 账本设置"
QString frameCaption(int frame); // "增加账本", "账本名称", "账本类型设置"
QString contactLabel();          // "联系方式："
QString okCaption();             // "确 定"
QString cancelCaption();         // "取 消"

// Contact kinds in the order of the drop-down list; the first is selected at load.
QStringList contactKinds();

// A typed contact after the contact step's cleaning, and the refusal; `message` is empty when
// the contact may be looked up. `text` is what the window writes back, refused or not.
struct Contact {
    QString text;
    QString message;
};
Contact checkContact(const QString& typed, const QString& kind);

// A typed ledger name with CleanStr applied and every "#" removed.
QString cleanName(const QString& typed);
// What the name box starts with for a new ledger.
QString newLedgerName(const QString& curZbNm);

// Instruction texts of LabInfo_0 (contact) and LabInfo_1 (name).
QString contactInfo();
QString nameInfo();

// Ledger types: five options, the last one the custom type with its two words typed in.
constexpr int kOptionCount = 5;
constexpr int kCustomOption = 4;
QString optionCaption(int option);

// The words of a chosen type. For the custom type `item` and `sl` are the cleaned typed words,
// to be written back; `message` is empty when the choice may be saved.
struct Words {
    QString item;
    QString sl;
    QString message;
};
Words typeWords(int option, const QString& custom0, const QString& custom1);

// Statements.
QString ledgerQuery(const QString& zbid);
QString ledgerInsert(const QString& zbid, const QString& zbnm, const QString& item,
                     const QString& sl, const QString& srvDate);
QString firstOperatorInsert(const QString& zbid);
// The same through a secure server's functions, for the guest: the name query gives a row only
// for a ledger that exists; the creation answers "OK", or "EXISTS" for an id taken meanwhile,
// and gives the ledger its administrator itself.
QString ledgerNameCall(const QString& zbid);
QString createLedgerCall(const QString& zbid, const QString& zbnm, const QString& item,
                         const QString& sl, const QString& srvDate);
QString settingsUpdate(const QString& zbid, const QString& zbnm, const QString& item,
                       const QString& sl);
// The main window's rename, sent when the name frame closed with a new name.
QString renameUpdate(const QString& zbid, const QString& zbnm);

// Messages.
QString connectFailed();
QString createFailed();
QString saveFailed();
QString failureTitle(); // "提示", for the two failures of the type step only

} // namespace ZbTypRules
