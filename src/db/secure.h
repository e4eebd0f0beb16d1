#pragma once
// A secure PostgreSQL server fences every row by the login that asks: before a login the client
// is the guest and reaches the tables only through the server's functions; after it, each
// operator connects as a login role of his own. Other servers keep the plain statements.

#include <QString>

namespace Db {

// "zelvo_" and the first 24 hex digits of SHA-256 over ZBID, 0x1F and the operator's name: every
// client finds the same role, and any name fits PostgreSQL's 63 bytes.
QString operatorRole(const QString& zbid, const QString& usr);
// What an operator without a password logs in with: such an operator is as open as the ledger
// has always made him, and no more.
QString noPasswordText(const QString& zbid, const QString& usr);
// The password sent for what was typed in the login box.
QString loginPassword(const QString& zbid, const QString& usr, const QString& typed);

// Whether the server now set is a secure one (PostgreSQL with the server's functions). Asked
// once per server and run; a failed question is asked again next time.
bool isSecureServer();
// After the server was given its tables: ask again.
void forgetSecureServers();

// The guest's question after a refused login: is there such an operator at all?
QString operatorExistsCall(const QString& zbid, const QString& usr);

// After a statement of a logged-in operator failed: true when the server no longer knows him
// (his login is refused, or his ledger no longer lists him). Costs a statement only then.
bool operatorRemoved(const QString& zbid, const QString& usr);

} // namespace Db
