-- Zelvo on PostgreSQL, the secure part: the server itself decides who sees and does what.
-- Run by the tables' owner (a role that owns Zblst, UsrLst and Zhang and has CREATEROLE) after
-- postgresql.sql, in the same transaction; running it again changes nothing.
--
-- Every operator of a ledger logs in as a role of his own, zelvo_ + 24 hex digits of
-- SHA-256(ZBID, 0x1F, operator name), member of zelvo_operator and of nothing else. Before the
-- login the program connects as zelvo_guest, which may only call the functions that open or
-- create a ledger. Row-level security fences every row to its own ledger (forced: the owner,
-- too, goes through a policy, its own, which keeps every row); column privileges keep Pwd
-- unreadable and leave only the columns the windows change updatable; the rights word of
-- UsrLst.QX is checked by the policies, by one trigger and by the SECURITY DEFINER functions.
--
-- A function here always learns its caller from session_user: inside a SECURITY DEFINER
-- function current_user is the owner, while the login of the session stays the operator's.

-- Roles are shared by every database of the cluster: made only when missing.
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_catalog.pg_roles WHERE rolname = 'zelvo_operator') THEN
        CREATE ROLE zelvo_operator NOLOGIN NOINHERIT;
    END IF;
    -- The guest's password is set apart from this script (the program generates one).
    IF NOT EXISTS (SELECT FROM pg_catalog.pg_roles WHERE rolname = 'zelvo_guest') THEN
        CREATE ROLE zelvo_guest LOGIN NOINHERIT;
    END IF;
END
$$;

-- Nobody but the owner creates objects where the functions below look names up.
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
CREATE SCHEMA IF NOT EXISTS zelvo_private;
REVOKE ALL ON SCHEMA zelvo_private FROM PUBLIC;

-- The operator's role name. Declared immutable so that UsrLst can be indexed on it: the role of
-- a session finds its row in one index probe.
CREATE OR REPLACE FUNCTION zelvo_role_name(p_zbid text, p_usr text) RETURNS text
    LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE SET search_path = pg_catalog AS $$
    SELECT 'zelvo_' || left(encode(sha256(convert_to(p_zbid || chr(31) || p_usr, 'UTF8')), 'hex'), 24)
$$;
CREATE INDEX IF NOT EXISTS UsrLst_Role ON UsrLst (zelvo_role_name(ZBID, Usr));

-- The caller's row of UsrLst. A role whose row is gone is nobody: it sees and may do nothing.
CREATE OR REPLACE FUNCTION zelvo_ledger() RETURNS text
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
    SELECT zbid FROM usrlst WHERE zelvo_role_name(zbid, usr) = session_user::text LIMIT 1
$$;

CREATE OR REPLACE FUNCTION zelvo_operator() RETURNS text
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
    SELECT usr FROM usrlst WHERE zelvo_role_name(zbid, usr) = session_user::text LIMIT 1
$$;

-- A short word is read padded with '1', as the client reads it: a missing position grants.
CREATE OR REPLACE FUNCTION zelvo_right(n integer) RETURNS boolean
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
    SELECT coalesce((SELECT n BETWEEN 1 AND 16 AND substr(rpad(coalesce(qx, ''), 16, '1'), n, 1) = '1'
                     FROM usrlst WHERE zelvo_role_name(zbid, usr) = session_user::text LIMIT 1),
                    false)
$$;

-- A retired row's ZBID is first part # ledger id # 16-character stamp. Read from the end, since
-- the first part (an operator's name) may itself hold '#'; ledger ids never do, so the middle
-- part names exactly one ledger.
CREATE OR REPLACE FUNCTION zelvo_private.retired_of(p_marker text, p_zbid text) RETURNS boolean
    LANGUAGE sql IMMUTABLE PARALLEL SAFE SET search_path = pg_catalog AS $$
    SELECT length(p_marker) >= length(p_zbid) + 19
       AND substr(p_marker, length(p_marker) - length(p_zbid) - 17, length(p_zbid) + 2) = '#' || p_zbid || '#'
$$;

CREATE OR REPLACE FUNCTION zelvo_private.no_password(p_zbid text, p_usr text) RETURNS text
    LANGUAGE sql IMMUTABLE SET search_path = pg_catalog AS $$
    SELECT 'zelvo:' || p_zbid || ':' || p_usr
$$;

-- Makes the operator's login, or takes over a leftover role of that name when it is a plain
-- one; a role with any power beyond an operator's is refused (the caller rolls back).
CREATE OR REPLACE FUNCTION zelvo_private.make_role(p_role text, p_password text) RETURNS void
    LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp
    SET password_encryption = 'scram-sha-256' AS $$
DECLARE
    r record;
BEGIN
    SELECT oid, rolsuper OR rolcreaterole OR rolcreatedb OR rolbypassrls OR rolreplication AS strong
        INTO r FROM pg_roles WHERE rolname = p_role;
    IF NOT FOUND THEN
        EXECUTE format('CREATE ROLE %I LOGIN INHERIT NOSUPERUSER NOCREATEDB NOCREATEROLE '
                       'NOREPLICATION NOBYPASSRLS PASSWORD %L IN ROLE zelvo_operator',
                       p_role, p_password);
        RETURN;
    END IF;
    IF r.strong OR EXISTS (SELECT FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid
                           WHERE m.member = r.oid AND g.rolname <> 'zelvo_operator')
       OR EXISTS (SELECT FROM pg_auth_members WHERE roleid = r.oid) THEN
        RAISE EXCEPTION 'role % has powers beyond an operator''s', p_role
            USING ERRCODE = 'duplicate_object';
    END IF;
    EXECUTE format('ALTER ROLE %I LOGIN INHERIT PASSWORD %L', p_role, p_password);
    IF NOT EXISTS (SELECT FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid
                   WHERE m.member = r.oid AND g.rolname = 'zelvo_operator') THEN
        EXECUTE format('GRANT zelvo_operator TO %I', p_role);
    END IF;
END
$$;

CREATE OR REPLACE FUNCTION zelvo_private.drop_role(p_role text) RETURNS void
    LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = p_role) THEN
        EXECUTE format('DROP ROLE %I', p_role);
    END IF;
END
$$;

-- The ledger's 管理员 when it has no operator at all: row and login, without a password.
CREATE OR REPLACE FUNCTION zelvo_private.first_operator(p_zbid text) RETURNS void
    LANGUAGE plpgsql SET search_path = pg_catalog, public, pg_temp AS $$
BEGIN
    INSERT INTO usrlst (zbid, usr, pwd) VALUES (p_zbid, '管理员', '') ON CONFLICT DO NOTHING;
    IF FOUND THEN
        PERFORM zelvo_private.make_role(zelvo_role_name(p_zbid, '管理员'),
                                        zelvo_private.no_password(p_zbid, '管理员'));
    END IF;
END
$$;

-- Texts the functions accept: PostgreSQL text holds no NUL, so that one is refused on the way in.
CREATE OR REPLACE FUNCTION zelvo_private.fits(p_text text) RETURNS boolean
    LANGUAGE sql IMMUTABLE SET search_path = pg_catalog AS $$
    SELECT p_text IS NOT NULL AND p_text <> '' AND length(p_text) <= 1000
$$;

-- Guest functions: opening a ledger, before anybody has logged in.

CREATE OR REPLACE FUNCTION zelvo_open_ledger(p_zbid text)
    RETURNS TABLE (item text, sl text, msg text, cmd text, gonggao text)
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
    SELECT z.item, z.sl, z.msg, z.cmd, z.gonggao FROM zblst z WHERE z.zbid = p_zbid
$$;

CREATE OR REPLACE FUNCTION zelvo_ledger_operators(p_zbid text) RETURNS SETOF text
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
BEGIN
    IF NOT EXISTS (SELECT FROM zblst WHERE zbid = p_zbid) THEN
        RETURN;
    END IF;
    IF NOT EXISTS (SELECT FROM usrlst WHERE zbid = p_zbid) THEN
        PERFORM zelvo_private.first_operator(p_zbid);
    END IF;
    RETURN QUERY SELECT u.usr FROM usrlst u WHERE u.zbid = p_zbid;
END
$$;

-- After the client has opened the web address of an HTTP command it stamps the command with the
-- date, so that it runs once; nothing else of the row is the guest's to change.
CREATE OR REPLACE FUNCTION zelvo_reset_cmd(p_zbid text, p_date text) RETURNS void
    LANGUAGE sql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
    UPDATE zblst SET cmd = p_date
     WHERE zbid = p_zbid AND upper(left(cmd, 4)) = 'HTTP' AND p_date ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}$'
$$;

CREATE OR REPLACE FUNCTION zelvo_ledger_name(p_zbid text) RETURNS text
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
    SELECT zbnm FROM zblst WHERE zbid = p_zbid
$$;

CREATE OR REPLACE FUNCTION zelvo_create_ledger(p_zbid text, p_name text, p_item text, p_sl text,
                                               p_date text) RETURNS text
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
BEGIN
    -- '#' separates the parts of a retired row's marker; a ledger id never holds one.
    IF NOT (zelvo_private.fits(p_zbid) AND zelvo_private.fits(p_name) AND zelvo_private.fits(p_item)
            AND zelvo_private.fits(p_sl)) OR strpos(p_zbid, '#') > 0
       OR coalesce(p_date, '') !~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}$' THEN
        RETURN 'INVALID';
    END IF;
    BEGIN
        INSERT INTO zblst (zbid, zbnm, item, sl, bz, bgdate, nddate, mb, salesman, msg)
        VALUES (p_zbid, p_name, p_item, p_sl, '自已注册', p_date, '', '', '', '您好！');
    EXCEPTION WHEN unique_violation THEN
        RETURN 'EXISTS';
    END;
    PERFORM zelvo_private.first_operator(p_zbid);
    RETURN 'OK';
END
$$;

-- Only after a refused login: tells "no such operator" from "wrong password".
CREATE OR REPLACE FUNCTION zelvo_operator_exists(p_zbid text, p_usr text) RETURNS boolean
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
    SELECT EXISTS (SELECT FROM usrlst WHERE zbid = p_zbid AND usr = p_usr)
       AND EXISTS (SELECT FROM pg_roles WHERE rolname = zelvo_role_name(p_zbid, p_usr))
$$;

-- Operator functions: each acts in the caller's own ledger only, and only with the right.

CREATE OR REPLACE FUNCTION zelvo_add_operator(p_usr text, p_qx text) RETURNS text
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
DECLARE
    l text := zelvo_ledger();
BEGIN
    IF l IS NULL OR NOT zelvo_right(1) THEN
        RETURN 'DENIED';
    END IF;
    IF NOT zelvo_private.fits(p_usr) OR coalesce(p_qx, '') !~ '^[01]{0,16}$' THEN
        RETURN 'INVALID';
    END IF;
    -- The row first: a second administrator adding the same name waits here for the first one's
    -- transaction and then finds the key taken.
    BEGIN
        INSERT INTO usrlst (zbid, usr, pwd, qx) VALUES (l, p_usr, '', p_qx);
        PERFORM zelvo_private.make_role(zelvo_role_name(l, p_usr), zelvo_private.no_password(l, p_usr));
    EXCEPTION WHEN unique_violation OR duplicate_object THEN
        RETURN 'EXISTS';
    END;
    RETURN 'OK';
END
$$;

CREATE OR REPLACE FUNCTION zelvo_remove_operator(p_usr text) RETURNS text
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
DECLARE
    l text := zelvo_ledger();
BEGIN
    IF l IS NULL OR NOT zelvo_right(1) OR p_usr IS NULL OR p_usr = zelvo_operator() THEN
        RETURN 'DENIED';
    END IF;
    DELETE FROM usrlst WHERE zbid = l AND usr = p_usr;
    -- Also when the row was already gone: no login outlives its operator.
    PERFORM zelvo_private.drop_role(zelvo_role_name(l, p_usr));
    RETURN 'OK';
END
$$;

CREATE OR REPLACE FUNCTION zelvo_set_rights(p_usr text, p_qx text) RETURNS text
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
DECLARE
    l text := zelvo_ledger();
BEGIN
    IF l IS NULL OR NOT zelvo_right(1) THEN
        RETURN 'DENIED';
    END IF;
    IF coalesce(p_qx, '') !~ '^[01]{0,16}$' THEN
        RETURN 'INVALID';
    END IF;
    IF p_usr = zelvo_operator() AND left(rpad(p_qx, 16, '1'), 1) <> '1' THEN
        RETURN 'DENIED';
    END IF;
    UPDATE usrlst SET qx = p_qx WHERE zbid = l AND usr = p_usr;
    RETURN CASE WHEN FOUND THEN 'OK' ELSE 'MISSING' END;
END
$$;

CREATE OR REPLACE FUNCTION zelvo_ledger_rights(p_usr text) RETURNS text
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
    SELECT qx FROM usrlst WHERE zbid = zelvo_ledger() AND usr = p_usr
$$;

-- The client sends a SCRAM verifier made with PQencryptPasswordConn, never the password. Anything
-- else would be taken by ALTER ROLE as a plain password, so it is refused.
CREATE OR REPLACE FUNCTION zelvo_set_password(p_verifier text) RETURNS text
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
DECLARE
    l text := zelvo_ledger();
    u text := zelvo_operator();
BEGIN
    IF l IS NULL OR NOT zelvo_right(14) THEN
        RETURN 'DENIED';
    END IF;
    IF coalesce(p_verifier, '') !~
       '^SCRAM-SHA-256\$[1-9][0-9]{0,9}:[A-Za-z0-9+/]+={0,2}\$[A-Za-z0-9+/]{43}=:[A-Za-z0-9+/]{43}=$' THEN
        RETURN 'INVALID';
    END IF;
    EXECUTE format('ALTER ROLE %I PASSWORD %L', zelvo_role_name(l, u), p_verifier);
    UPDATE usrlst SET pwd = '' WHERE zbid = l AND usr = u;
    RETURN 'OK';
END
$$;

-- Notice and ledger words change by plain updates of Zblst; which columns changed decides the
-- right they need. Sessions that are not an operator's (the owner, the functions above acting
-- for the guest) pass.
CREATE OR REPLACE FUNCTION zelvo_private.zblst_rights() RETURNS trigger
    LANGUAGE plpgsql SET search_path = pg_catalog, public, pg_temp AS $$
BEGIN
    IF zelvo_ledger() IS NULL THEN
        RETURN NEW;
    END IF;
    IF (NEW.zbnm, NEW.item, NEW.sl) IS DISTINCT FROM (OLD.zbnm, OLD.item, OLD.sl) AND NOT zelvo_right(1)
       OR NEW.gonggao IS DISTINCT FROM OLD.gonggao AND NOT zelvo_right(16) THEN
        RAISE EXCEPTION 'permission denied for this change of table zblst'
            USING ERRCODE = 'insufficient_privilege';
    END IF;
    RETURN NEW;
END
$$;
DROP TRIGGER IF EXISTS zelvo_rights ON zblst;
CREATE TRIGGER zelvo_rights BEFORE UPDATE ON zblst
    FOR EACH ROW EXECUTE FUNCTION zelvo_private.zblst_rights();

-- Privileges: nothing by default, then exactly what each login needs.
REVOKE ALL ON FUNCTION zelvo_role_name(text, text), zelvo_ledger(), zelvo_operator(), zelvo_right(integer),
    zelvo_private.retired_of(text, text), zelvo_private.no_password(text, text),
    zelvo_private.make_role(text, text), zelvo_private.drop_role(text),
    zelvo_private.first_operator(text), zelvo_private.fits(text), zelvo_private.zblst_rights(),
    zelvo_open_ledger(text), zelvo_ledger_operators(text), zelvo_reset_cmd(text, text),
    zelvo_ledger_name(text), zelvo_create_ledger(text, text, text, text, text),
    zelvo_operator_exists(text, text), zelvo_add_operator(text, text), zelvo_remove_operator(text),
    zelvo_set_rights(text, text), zelvo_ledger_rights(text), zelvo_set_password(text) FROM PUBLIC;
REVOKE ALL ON zblst, usrlst, zhang FROM PUBLIC, zelvo_guest, zelvo_operator;

GRANT EXECUTE ON FUNCTION zelvo_open_ledger(text), zelvo_ledger_operators(text),
    zelvo_reset_cmd(text, text), zelvo_ledger_name(text),
    zelvo_create_ledger(text, text, text, text, text), zelvo_operator_exists(text, text)
    TO zelvo_guest, zelvo_operator;
GRANT USAGE ON SCHEMA zelvo_private TO zelvo_operator;
GRANT EXECUTE ON FUNCTION zelvo_role_name(text, text), zelvo_ledger(), zelvo_operator(),
    zelvo_right(integer), zelvo_private.retired_of(text, text), zelvo_add_operator(text, text),
    zelvo_remove_operator(text), zelvo_set_rights(text, text), zelvo_ledger_rights(text),
    zelvo_set_password(text) TO zelvo_operator;

GRANT SELECT ON zblst, zhang TO zelvo_operator;
GRANT SELECT (zbid, usr, qx) ON usrlst TO zelvo_operator;
GRANT UPDATE (zbnm, item, sl, gonggao) ON zblst TO zelvo_operator;
GRANT INSERT ON zhang TO zelvo_operator;
GRANT UPDATE (zbid) ON zhang TO zelvo_operator;

-- Row-level security. The helpers are called as (select f()) so that each is evaluated once
-- per statement, not once per row, and the statements' own ZBID conditions still pick the index.
ALTER TABLE zblst ENABLE ROW LEVEL SECURITY;
ALTER TABLE zblst FORCE ROW LEVEL SECURITY;
ALTER TABLE usrlst ENABLE ROW LEVEL SECURITY;
ALTER TABLE usrlst FORCE ROW LEVEL SECURITY;
ALTER TABLE zhang ENABLE ROW LEVEL SECURITY;
ALTER TABLE zhang FORCE ROW LEVEL SECURITY;

DROP POLICY IF EXISTS zelvo_owner ON zblst;
DROP POLICY IF EXISTS zelvo_owner ON usrlst;
DROP POLICY IF EXISTS zelvo_owner ON zhang;
-- The owner (who runs this script and owns the functions) keeps every row.
DO $$
BEGIN
    EXECUTE format('CREATE POLICY zelvo_owner ON zblst TO %I USING (true) WITH CHECK (true)', current_user);
    EXECUTE format('CREATE POLICY zelvo_owner ON usrlst TO %I USING (true) WITH CHECK (true)', current_user);
    EXECUTE format('CREATE POLICY zelvo_owner ON zhang TO %I USING (true) WITH CHECK (true)', current_user);
END
$$;

DROP POLICY IF EXISTS zelvo_read ON zblst;
CREATE POLICY zelvo_read ON zblst FOR SELECT TO zelvo_operator
    USING (zbid = (SELECT zelvo_ledger()));
DROP POLICY IF EXISTS zelvo_change ON zblst;
CREATE POLICY zelvo_change ON zblst FOR UPDATE TO zelvo_operator
    USING (zbid = (SELECT zelvo_ledger())) WITH CHECK (zbid = (SELECT zelvo_ledger()));

DROP POLICY IF EXISTS zelvo_read ON usrlst;
CREATE POLICY zelvo_read ON usrlst FOR SELECT TO zelvo_operator
    USING (zbid = (SELECT zelvo_ledger()));

-- The own ledger's rows, live and retired (the record audit and the editor read retired ones).
DROP POLICY IF EXISTS zelvo_read ON zhang;
CREATE POLICY zelvo_read ON zhang FOR SELECT TO zelvo_operator
    USING (zbid = (SELECT zelvo_ledger())
           OR zelvo_private.retired_of(zbid, (SELECT zelvo_ledger())));

-- An entry in one's own name; in another operator's name of the ledger only with right 1 (an
-- import keeps its operator column). Right 2 for increases, 3 for decreases; the record editor,
-- reached with right 10 or 11, does not test the sign.
DROP POLICY IF EXISTS zelvo_write ON zhang;
CREATE POLICY zelvo_write ON zhang FOR INSERT TO zelvo_operator
    WITH CHECK (zbid = (SELECT zelvo_ledger())
                AND (usr = (SELECT zelvo_operator())
                     OR (SELECT zelvo_right(1))
                        AND EXISTS (SELECT FROM usrlst u WHERE u.zbid = zhang.zbid AND u.usr = zhang.usr))
                AND (sl >= 0 AND (SELECT zelvo_right(2)) OR sl < 0 AND (SELECT zelvo_right(3))
                     OR (SELECT zelvo_right(10)) OR (SELECT zelvo_right(11))));

-- Updates only move ZBID (the column privilege): retiring a row of the ledger to a marker of the
-- ledger (rights 11, 12, 13: edit, delete, batch delete) or restoring one to the ledger (right 1,
-- the record audit).
DROP POLICY IF EXISTS zelvo_retire ON zhang;
CREATE POLICY zelvo_retire ON zhang FOR UPDATE TO zelvo_operator
    USING (zbid = (SELECT zelvo_ledger())
           OR zelvo_private.retired_of(zbid, (SELECT zelvo_ledger())))
    WITH CHECK (zelvo_private.retired_of(zbid, (SELECT zelvo_ledger()))
                    AND ((SELECT zelvo_right(11)) OR (SELECT zelvo_right(12)) OR (SELECT zelvo_right(13)))
                OR zbid = (SELECT zelvo_ledger()) AND (SELECT zelvo_right(1)));
