#!/usr/bin/env bash
# Packs this build folder into the Debian package, checks the package's files and fields, and
# starts the unpacked program offscreen until its main window shows the ledger panel.
#   test_package.sh BUILD_DIR VERSION
set -euo pipefail
build_dir=$1
version=$2

work=$(mktemp -d)
pid=""
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if ! cpack --config "$build_dir/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack"
fi
deb=$work/out/zelvo_${version}_amd64.deb
[ -f "$deb" ] || fail "no zelvo_${version}_amd64.deb among: $(ls "$work/out")"

expected_files="-rw-r--r-- ./usr/share/applications/zelvo.desktop
-rw-r--r-- ./usr/share/doc/zelvo/copyright
-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/zelvo.svg
-rw-r--r-- ./usr/share/metainfo/io.zelvo.Zelvo.metainfo.xml
-rw-r--r-- ./usr/share/zelvo/help/index.html
-rw-r--r-- ./usr/share/zelvo/schema/postgresql.sql
-rw-r--r-- ./usr/share/zelvo/schema/postgresql-secure.sql
-rw-r--r-- ./usr/share/zelvo/schema/postgresql-secure-upgrade.sql
-rw-r--r-- ./usr/share/zelvo/schema/sqlserver.sql
-rwxr-xr-x ./usr/bin/zelvo"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $6 }' | sort)
[ "$files" = "$(sort <<<"$expected_files")" ] || fail "files:
$files"

fields=$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')
[ "$fields" = "Package: zelvo Version: $version Architecture: amd64 " ] || fail "fields: $fields"
# Package names only, without their version bounds.
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*)//; s/ //g' | sort -u)
for p in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 \
    libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc fonts-noto-cjk; do
    grep -qx -- "$p" <<<"$depends" || fail "Depends lacks $p: $(dpkg-deb -f "$deb" Depends)"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
check=$(desktop-file-validate "$root/usr/share/applications/zelvo.desktop" 2>&1) ||
    fail "desktop file: $check"
[ -z "$check" ] || fail "desktop file: $check"
appstreamcli validate-tree --no-net "$root/usr" >"$work/appstream.log" 2>&1 ||
    fail "metainfo: $(cat "$work/appstream.log")"

mkdir -p "$work/config" "$work/data" "$work/runtime"
chmod 0700 "$work/runtime"
ready=$work/ready
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    XDG_RUNTIME_DIR=$work/runtime ZELVO_REPORT_READY=$ready \
    "$root/usr/bin/zelvo" >"$work/program.log" 2>&1 &
pid=$!
for _ in $(seq 300); do
    [ -f "$ready" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
    sleep 0.1
done
[ -f "$ready" ] || fail "no main window after 30 s: $(cat "$work/program.log")"
help=$(realpath "$root/usr/share/zelvo/help/index.html")
[ "$(cat "$ready")" = "window=Kuang
panel=0
visible=1
help=$help" ] || fail "main window: $(cat "$ready")"
# The offscreen platform says this of every window with a fixed size; anything else is news.
said=$(grep -vx 'This plugin does not support propagateSizeHints()' "$work/program.log" || true)
[ -z "$said" ] || fail "the program wrote: $said"
echo "zelvo_${version}_amd64.deb: $(wc -l <<<"$files") files; Depends: $(dpkg-deb -f "$deb" Depends)"
