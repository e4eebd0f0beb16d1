#pragma once
// The main window's own texts and statements, and the decisions of opening and login that need
// no window.

#include <QString>

namespace KuangTexts {

// Asked before the server settings open over an open ledger.
QString backForServerSettings();

// Ledger list.
QString addEntry(); // "   点击这里增加账本"
QString addedAskOpen(const QString& name);
QString nothingToRemove();
QString askRemove(const QString& name);
QString showIdText(const QString& name, const QString& id);
QString showIdTitle();
QString copiedText(const QString& id);

// Shell.
QString caption(); // AppTitle(AppVer)
QString ledgerPanelTop();
QString welcome();
QString supplierLines();
QString loginHint();
QString entryHint(const QString& itemName, const QString& slName);
QString exitQuestion();
QString aboutText();
QString aboutTitle();

// Notice: colour before the separator, text after it; `hasColour` false when the notice is
// shown whole in the label's own colour.
struct Notice {
    bool hasColour = false;
    int colour = 0; // 0xBBGGRR as stored
    QString text;
};
Notice parseNotice(const QString& gongGaoStr);

// Opening.
enum class ServerCommand { None, Notice, Stop, Http };
ServerCommand classifyCommand(const QString& cleanedCommand);
bool isWebAddress(const QString& text);
QString ledgerQuery(const QString& zbid);
QString commandReset(const QString& srvDate, const QString& zbid);
QString operatorsQuery(const QString& zbid);
QString adminInsert(const QString& zbid);
// The same on a secure server, where the guest reaches the ledger only through its functions
// (the operator list's function gives an empty ledger its administrator itself).
QString ledgerCall(const QString& zbid);
QString commandResetCall(const QString& srvDate, const QString& zbid);
QString operatorsCall(const QString& zbid);
QString firstAddLedger();
QString connectFailed();
QString noSuchLedger();
QString stopText(const QString& zbMsg);
QString openingWait(const QString& name);
QString readingOperatorsWait();

// Login.
QString loginQuery(const QString& zbid, const QString& usr);
// A secure server checks the password itself, and nobody reads it: only the rights word.
QString secureLoginQuery(const QString& zbid, const QString& usr);
QString verifyingWait(const QString& usr);
QString operatorDeleted(const QString& usr);
QString wrongPassword();
QString readingItemsWait(const QString& itemName);
QString greeting(const QString& usr, const QString& zbMsg);
QString noPasswordForAutoLogin(const QString& usr);
QString hello(); // "您好！"

// Captions of the report menu, from the ledger's words.
QString balanceListCaption(const QString& itemName, const QString& slName); // 物品存量表
QString journalCaption(const QString& itemName);                            // 物品流水账
QString summaryCaption(const QString& itemName);                            // 物品汇总表

} // namespace KuangTexts
