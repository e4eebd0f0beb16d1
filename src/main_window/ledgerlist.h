#pragma once
// The ledgers known on this computer, kept in the settings store as keys 0Z, 1Z, … of section
// "FR", each "id#name"; the first empty value ends the list.

#include <QList>
#include <QString>

namespace LedgerList {

struct Ledger {
    QString id;
    QString name;
};

// "id#name" split at its first "#"; false for a value without "#" or starting with it.
bool parseValue(const QString& value, Ledger* ledger);
QList<Ledger> load();
// Writes every ledger and the empty terminator after the last one.
void save(const QList<Ledger>& ledgers);

QString lastOpened();
void setLastOpened(const QString& id);

// Which entry to select after removing entry `removed`.
int indexAfterRemoval(int removed);

// Settings the main window reads and writes (application "Zelvo云记账").
QString autoOpen();
void setAutoOpen(bool on);
QString autoLogin();
void setAutoLogin(bool on);
QString lastOperator(const QString& zbid);
void setLastOperator(const QString& zbid, const QString& usr);
QString rememberedPassword(const QString& usr, const QString& zbid);
void setRememberedPassword(const QString& usr, const QString& zbid, const QString& pwd);
// Application = ledger id, section = operator: "True"/"False", missing counts as "True".
bool autoShowSL(const QString& zbid, const QString& usr);
void setAutoShowSL(const QString& zbid, const QString& usr, bool on);

} // namespace LedgerList
