-- Zelvo cloud database on Microsoft SQL Server. Create the database with a Simplified Chinese
-- collation, so that texts sent without the N prefix keep their characters:
--   CREATE DATABASE [云记账] COLLATE Chinese_PRC_CI_AS;
-- then run this script in it (sqlcmd -d 云记账 -i sqlserver.sql).

IF OBJECT_ID('Zblst') IS NULL
CREATE TABLE Zblst (
    ZBid     varchar(100) NOT NULL PRIMARY KEY,
    ZbNm     varchar(200),
    Item     varchar(50),
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
    ZBID varchar(100) NOT NULL,
    Usr  varchar(100) NOT NULL,
    Pwd  varchar(100),
    QX   varchar(50),
    PRIMARY KEY (ZBID, Usr)
);

IF OBJECT_ID('Zhang') IS NULL
CREATE TABLE Zhang (
    ZBID varchar(200) NOT NULL,
    USR  varchar(100),
    TM   datetime2(0),
    ID   varchar(20) NOT NULL,
    ITEM varchar(200),
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
