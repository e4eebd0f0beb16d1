-- Zelvo cloud database on PostgreSQL. Run once on a new database (UTF8 encoding):
--   psql -d 云记账 -f postgresql.sql
-- Identifiers are unquoted, so any letter case in the client's statements addresses them.
-- Ledger ids, operator names, entry ids and items are compared as exact texts; text equality
-- (keys, WHERE, GROUP BY) is exact under every collation a database can have by default, and
-- text has no width limit, so the marker of a retired entry in Zhang.ZBID always fits.

CREATE TABLE IF NOT EXISTS Zblst (
    ZBid     text PRIMARY KEY,
    ZbNm     text,
    Item     text,
    SL       text,
    Bz       text,
    BgDate   text,
    NdDate   text,
    MB       text,
    SalesMan text,
    Msg      text,
    Cmd      text,
    GongGao  text
);

CREATE TABLE IF NOT EXISTS UsrLst (
    ZBID text NOT NULL,
    Usr  text NOT NULL,
    Pwd  text,
    QX   text,
    PRIMARY KEY (ZBID, Usr)
);

CREATE TABLE IF NOT EXISTS Zhang (
    ZBID text NOT NULL,
    USR  text,
    TM   timestamp(0) without time zone,
    ID   text NOT NULL,
    ITEM text,
    SL   double precision,
    BZ   text,
    PRIMARY KEY (ZBID, ID)
);

CREATE INDEX IF NOT EXISTS Zhang_Item_Tm ON Zhang (ZBID, ITEM, TM);
CREATE INDEX IF NOT EXISTS Zhang_Tm ON Zhang (ZBID, TM);
-- The record editor asks whether an id is taken in any ledger's rows, retired ones included.
CREATE INDEX IF NOT EXISTS Zhang_ID ON Zhang (ID);
-- The record audit reads a ledger's retired entries by the time of retirement, the last 16
-- characters of the marker, without touching the live rows of any ledger.
CREATE INDEX IF NOT EXISTS Zhang_Retired ON Zhang (right(ZBID, 16)) WHERE ZBID LIKE '%#%';

-- The client asks the server's time with "select Getdate()". localtimestamp(0) would round
-- up to the next second; truncating keeps the clock honest.
CREATE OR REPLACE FUNCTION getdate() RETURNS timestamp(0) without time zone
    LANGUAGE sql STABLE AS $$ SELECT date_trunc('second', localtimestamp)::timestamp(0) $$;

-- SQL Server's len(): characters without the trailing blanks. The record audit finds the first
-- part of a marker with it.
CREATE OR REPLACE FUNCTION len(text) RETURNS integer
    LANGUAGE sql IMMUTABLE AS $$ SELECT length(rtrim($1, ' ')) $$;
