-- Turns a classic Zelvo database on PostgreSQL into a secure one. Run once, by the tables'
-- owner (who needs CREATEROLE), with psql from this folder:
--   psql -h SERVER -U OWNER -d 云记账 -f postgresql-secure-upgrade.sql
-- All or nothing: every operator gets his login with the password he has now (an operator
-- without one gets the text the program uses for that case), then the stored passwords are
-- emptied. Afterwards set the guest's password (ALTER ROLE zelvo_guest PASSWORD '…') and give
-- the clients the login zelvo_guest instead of the owner's.
\set ON_ERROR_STOP on
BEGIN;
\ir postgresql.sql
\ir postgresql-secure.sql

-- An operator whose login exists already keeps its password, unless his row still holds one (a
-- second run after an old client wrote a password): the row's password is the newer.
DO $$
DECLARE
    u record;
BEGIN
    FOR u IN SELECT zbid, usr, pwd FROM usrlst LOOP
        IF coalesce(u.pwd, '') <> ''
           OR NOT EXISTS (SELECT FROM pg_roles WHERE rolname = zelvo_role_name(u.zbid, u.usr)) THEN
            PERFORM zelvo_private.make_role(zelvo_role_name(u.zbid, u.usr),
                coalesce(nullif(u.pwd, ''), zelvo_private.no_password(u.zbid, u.usr)));
        END IF;
    END LOOP;
END
$$;
UPDATE usrlst SET pwd = '' WHERE pwd <> '';
COMMIT;
