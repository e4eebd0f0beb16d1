-- Zelvo cloud database on Microsoft SQL Server. Create the database with a Simplified Chinese
-- collation, so that texts sent without the N prefix keep their characters, and so that table
-- and column names answer to any letter case:
--   CREATE DATABASE [云记账] COLLATE Chinese_PRC_CI_AS;
-- then run this script in it (sqlcmd -d 云记账 -i sqlserver.sql).
--
-- Ledger ids, operator names, entry ids and items are compared as exact texts: "Tom" is not
-- "tom" and "A" is not "Ａ". Their columns therefore carry a case- and width-sensitive collation
-- of the same code page; the database's own collation stays case-insensitive for identifiers.
--
-- Zhang.ZBID also holds the marker of a retired entry: operator (or replacement id) + "#" +
-- ledger id + "#" + "yyyy-mm-dd hh:mm". With Usr and ZBid of 100 bytes that is up to 218 bytes
-- (a Chinese character takes two bytes in varchar), so the column is wider than the ids.

IF OBJECT_ID('Zblst') IS NULL
CREATE TABLE Zblst (
    ZBid     varchar(100) COLLATE Chinese_PRC_CS_AS_WS NOT NULL PRIMARY KEY,
    ZbNm     varchar(200),
    Item     varchar(50) COLLATE Chinese_PRC_CS_AS_WS,
    SL       varchar(50),
    Bz       varchar(200),
    BgDate   varchar(20),
    NdDate   varchar(20),
    MB       varchar(50),
    SalesMan varchar(50),
    Msg      varchar(1000),
    Cmd      varchar(1000),
    GongGao  varchar(4000)
);

IF OBJECT_ID('UsrLst') IS NULL
CREATE TABLE UsrLst (
    ZBID varchar(100) COLLATE Chinese_PRC_CS_AS_WS NOT NULL,
    Usr  varchar(100) COLLATE Chinese_PRC_CS_AS_WS NOT NULL,
    Pwd  varchar(100),
    QX   varchar(50),
    PRIMARY KEY (ZBID, Usr)
);

IF OBJECT_ID('Zhang') IS NULL
CREATE TABLE Zhang (
    ZBID varchar(250) COLLATE Chinese_PRC_CS_AS_WS NOT NULL,
    USR  varchar(100) COLLATE Chinese_PRC_CS_AS_WS,
    TM   datetime2(0),
    ID   varchar(20) COLLATE Chinese_PRC_CS_AS_WS NOT NULL,
    ITEM varchar(200) COLLATE Chinese_PRC_CS_AS_WS,
    SL   float,
    BZ   varchar(500),
    PRIMARY KEY (ZBID, ID)
);

IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'Zhang_Item_Tm')
CREATE INDEX Zhang_Item_Tm ON Zhang (ZBID, ITEM, TM);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'Zhang_Tm')
CREATE INDEX Zhang_Tm ON Zhang (ZBID, TM);
-- The record editor asks whether an id is taken in any ledger's rows, retired ones included.
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'Zhang_ID')
CREATE INDEX Zhang_ID ON Zhang (ID);
