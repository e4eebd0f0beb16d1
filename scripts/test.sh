#!/usr/bin/env bash
# Builds Zelvo and runs its tests against a private PostgreSQL 15 server (also reached through
# ODBC) that lives only as long as this script.
#   scripts/test.sh              build in build/, run ctest, exit with its status
#   scripts/test.sh CMD ARGS...  the same server and environment, but run CMD instead of ctest
# ZELVO_BUILD_DIR names another build folder (default: build).
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${ZELVO_BUILD_DIR:-build}
pg_bin=/usr/lib/postgresql/15/bin
odbc_driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so
db_user=tsryun
db_password='MobKtz!5720'
db_name='云记账'
db_empty='云记账新'
db_secure='云记账安全'
db_upgrade='云记账升级'
db_ssl_user=tsryun_tls
db_denied_user=tsryun_denied

build_log=""
pg_dir=""
odbc_dir=""
started=0
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    if [ "$started" = 1 ]; then
        as_pg "$pg_bin/pg_ctl" -D "$pg_dir/data" -m immediate -s stop >/dev/null 2>&1 || true
    fi
    rm -rf ${build_log:+"$build_log"} ${pg_dir:+"$pg_dir"} ${odbc_dir:+"$odbc_dir"}
}
trap cleanup EXIT
trap 'exit 130' INT TERM

bash scripts/install-deps.sh

# The compiler's output is kept for failures; on success only its warnings are shown.
build_log=$(mktemp)
if ! { cmake -S . -B "$build_dir" -Wno-dev && cmake --build "$build_dir" -j2; } \
    >"$build_log" 2>&1; then
    cat "$build_log" >&2
    echo "构建失败 / build failed" >&2
    exit 1
fi
grep -E 'warning:' "$build_log" >&2 || true

# initdb and pg_ctl refuse to run as root.
if [ "$(id -u)" -eq 0 ]; then
    pg_owner=postgres
    as_pg() { runuser -u postgres -- "$@"; }
else
    pg_owner=$(id -un)
    as_pg() { "$@"; }
fi

pg_dir=$(mktemp -d)
chown "$pg_owner": "$pg_dir"
chmod 0700 "$pg_dir"
printf '%s\n' "$(head -c 18 /dev/urandom | base64)" >"$pg_dir/pwfile"
chown "$pg_owner": "$pg_dir/pwfile"
chmod 0600 "$pg_dir/pwfile"

if ! as_pg "$pg_bin/initdb" -D "$pg_dir/data" -U postgres --pwfile="$pg_dir/pwfile" -E UTF8 \
    --locale=C.UTF-8 --auth-local=trust --auth-host=scram-sha-256 >"$pg_dir/initdb.log" 2>&1; then
    cat "$pg_dir/initdb.log" >&2
    exit 1
fi

# TLS: a CA of the test's own signs the server's certificate for 127.0.0.1; a second CA signs
# nothing here, to be refused.
tls_dir="$pg_dir/tls"
mkdir -p "$tls_dir"
make_ca() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$1" \
        -keyout "$tls_dir/$1.key" -out "$tls_dir/$1.crt" >/dev/null 2>&1
}
make_ca zelvo-test-ca
make_ca zelvo-other-ca
openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" -keyout "$tls_dir/server.key" \
    -out "$tls_dir/server.csr" >/dev/null 2>&1
openssl x509 -req -in "$tls_dir/server.csr" -CA "$tls_dir/zelvo-test-ca.crt" \
    -CAkey "$tls_dir/zelvo-test-ca.key" -CAcreateserial -days 2 -out "$tls_dir/server.crt" \
    -extfile <(printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n') >/dev/null 2>&1
chown -R "$pg_owner": "$tls_dir"
chmod 0600 "$tls_dir/server.key"
# One login is let in only over TLS, another not at all from here; the rules come before
# initdb's own.
{
    printf 'hostssl all %s 127.0.0.1/32 scram-sha-256\n' "$db_ssl_user"
    printf 'hostnossl all %s 127.0.0.1/32 reject\n' "$db_ssl_user"
    printf 'host all %s 127.0.0.1/32 reject\n' "$db_denied_user"
    cat "$pg_dir/data/pg_hba.conf"
} >"$pg_dir/pg_hba.new"
mv "$pg_dir/pg_hba.new" "$pg_dir/data/pg_hba.conf"
chown "$pg_owner": "$pg_dir/data/pg_hba.conf"

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

port=""
for candidate in $(seq 55432 55531); do
    port_in_use "$candidate" && continue
    # A throw-away cluster: no need to survive a crash.
    options="-c listen_addresses=127.0.0.1 -p $candidate -c unix_socket_directories='$pg_dir'"
    options+=" -c fsync=off -c full_page_writes=off -c synchronous_commit=off"
    options+=" -c ssl=on -c ssl_cert_file=$tls_dir/server.crt -c ssl_key_file=$tls_dir/server.key"
    # Every statement is logged: tests count what reaches the server.
    options+=" -c log_statement=all"
    if as_pg "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/server.log" -w -s -o "$options" \
        start >/dev/null 2>&1; then
        port=$candidate
        started=1
        break
    fi
done
if [ -z "$port" ]; then
    echo "无法启动 PostgreSQL / could not start PostgreSQL" >&2
    [ -f "$pg_dir/server.log" ] && cat "$pg_dir/server.log" >&2
    exit 1
fi

as_pg env PGCLIENTENCODING=UTF8 "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 \
    -h "$pg_dir" -p "$port" -U postgres -d postgres \
    -c "CREATE ROLE $db_user LOGIN CREATEROLE PASSWORD '$db_password'" \
    -c "CREATE DATABASE \"$db_name\" OWNER $db_user ENCODING 'UTF8' TEMPLATE template0" \
    -c "CREATE DATABASE \"$db_empty\" OWNER $db_user ENCODING 'UTF8' TEMPLATE template0" \
    -c "CREATE DATABASE \"$db_secure\" OWNER $db_user ENCODING 'UTF8' TEMPLATE template0" \
    -c "CREATE DATABASE \"$db_upgrade\" OWNER $db_user ENCODING 'UTF8' TEMPLATE template0" \
    -c "CREATE ROLE $db_ssl_user LOGIN PASSWORD '$db_password'" \
    -c "CREATE ROLE $db_denied_user LOGIN PASSWORD '$db_password'" \
    -c "GRANT ALL ON DATABASE \"$db_name\" TO $db_ssl_user" >/dev/null
PGPASSWORD=$db_password PGCLIENTENCODING=UTF8 "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 \
    -h 127.0.0.1 -p "$port" -U "$db_user" -d "$db_name" -f src/db/schema/postgresql.sql >/dev/null
# The secure server: made by its owner as the program makes it, the guest's password set apart.
# Roles belong to the whole cluster; tests remove the operators' roles they make.
guest_password=$(head -c 12 /dev/urandom | base64 | tr -d '/+=')
PGPASSWORD=$db_password PGCLIENTENCODING=UTF8 "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 \
    -h 127.0.0.1 -p "$port" -U "$db_user" -d "$db_secure" --single-transaction \
    -c 'SET client_min_messages = warning' -f src/db/schema/postgresql.sql \
    -f src/db/schema/postgresql-secure.sql \
    -c "ALTER ROLE zelvo_guest PASSWORD '$guest_password'" >/dev/null

# The client asks for the driver by the name it has on Windows.
odbc_dir=$(mktemp -d)
printf '[SQL Server]\nDescription=PostgreSQL Unicode\nDriver=%s\n' "$odbc_driver" \
    >"$odbc_dir/odbcinst.ini"
: >"$odbc_dir/odbc.ini"

export ZELVO_TEST_PG_PORT=$port
export ZELVO_TEST_PG_USER=$db_user
export ZELVO_TEST_PG_PASSWORD=$db_password
export ZELVO_TEST_PG_DB=$db_name
export ZELVO_TEST_PG_EMPTY_DB=$db_empty
export ZELVO_TEST_PG_SECURE_DB=$db_secure
export ZELVO_TEST_PG_GUEST_PASSWORD=$guest_password
# A classic database for the upgrade script's test alone.
export ZELVO_TEST_PG_UPGRADE_DB=$db_upgrade
export ZELVO_TEST_PG_SSL_USER=$db_ssl_user
export ZELVO_TEST_PG_DENIED_USER=$db_denied_user
export ZELVO_TEST_PG_CA=$tls_dir/zelvo-test-ca.crt
export ZELVO_TEST_PG_OTHER_CA=$tls_dir/zelvo-other-ca.crt
export ZELVO_TEST_PG_LOG=$pg_dir/server.log
export PGPORT=$port
export ODBCSYSINI=$odbc_dir
export ODBCINI=$odbc_dir/odbc.ini
export QT_QPA_PLATFORM=offscreen

status=0
if [ $# -gt 0 ]; then
    "$@" || status=$?
else
    ctest --test-dir "$build_dir" --output-on-failure || status=$?
fi
exit "$status"
