#include "db/sqliteschema.h"

namespace Db {

// TEXT compares with the binary collation: ids, operator names and items are exact texts, and
// no width limits the marker of a retired entry in Zhang.ZBID.
QStringList sqliteSchemaStatements() {
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS Zblst (ZBid TEXT PRIMARY KEY, ZbNm TEXT, "
                       "Item TEXT, SL TEXT, Bz TEXT, BgDate TEXT, NdDate TEXT, MB TEXT, "
                       "SalesMan TEXT, Msg TEXT, Cmd TEXT, GongGao TEXT)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS UsrLst (ZBID TEXT NOT NULL, Usr TEXT NOT NULL, "
                       "Pwd TEXT, QX TEXT, PRIMARY KEY (ZBID, Usr))"),
        // TM holds 'yyyy-mm-dd hh:mm' text, which sorts and compares like the date-time it is.
        QStringLiteral("CREATE TABLE IF NOT EXISTS Zhang (ZBID TEXT NOT NULL, USR TEXT, TM TEXT, "
                       "ID TEXT NOT NULL, ITEM TEXT, SL REAL, BZ TEXT, PRIMARY KEY (ZBID, ID))"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS Zhang_Item_Tm ON Zhang (ZBID, ITEM, TM)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS Zhang_Tm ON Zhang (ZBID, TM)"),
        // The record editor's free-id probe matches the ledger by pattern, retired rows included.
        QStringLiteral("CREATE INDEX IF NOT EXISTS Zhang_ID ON Zhang (ID)"),
        // The record audit reads retired entries by the stamp that ends their marker.
        QStringLiteral("CREATE INDEX IF NOT EXISTS Zhang_Retired ON Zhang (substr(ZBID,-16)) "
                       "WHERE ZBID LIKE '%#%'"),
    };
}

} // namespace Db
