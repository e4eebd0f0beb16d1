#!/usr/bin/env bash
# Packs this build folder into the Debian package, checks the package's files and fields and
# what lintian says of it, writes a journal PDF with only the fonts the package depends on, and
# starts the unpacked program offscreen until its main window shows the ledger panel.
#   test_package.sh BUILD_DIR VERSION JOURNAL_PDF_PROGRAM
set -euo pipefail
build_dir=$1
version=$2
journal_pdf=$3

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
-rw-r--r-- ./usr/share/doc/zelvo/changelog.gz
-rw-r--r-- ./usr/share/doc/zelvo/copyright
-rw-r--r-- ./usr/share/man/man1/zelvo.1.gz
-rw-r--r-- ./usr/share/man/zh_CN/man1/zelvo.1.gz
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
    libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc fonts-noto-cjk fonts-wqy-microhei; do
    grep -qx -- "$p" <<<"$depends" || fail "Depends lacks $p: $(dpkg-deb -f "$deb" Depends)"
done
[ "$(dpkg-deb -f "$deb" Maintainer)" = "Zelvo 开发者 <developers@zelvo.io>" ] ||
    fail "maintainer: $(dpkg-deb -f "$deb" Maintainer)"

# Errors and warnings fail; lintian's informational and pedantic notes do not.
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
    fail "lintian: $(cat "$work/lintian.log")"

root=$work/root
dpkg-deb -x "$deb" "$root"
check=$(desktop-file-validate "$root/usr/share/applications/zelvo.desktop" 2>&1) ||
    fail "desktop file: $check"
[ -z "$check" ] || fail "desktop file: $check"
appstreamcli validate-tree --no-net "$root/usr" >"$work/appstream.log" 2>&1 ||
    fail "metainfo: $(cat "$work/appstream.log")"
# The newest release the changelog and the metainfo name is this one.
changelog_version=$(zcat "$root/usr/share/doc/zelvo/changelog.gz" |
    sed -n '1s/^zelvo (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$version" ] || fail "changelog's newest version: $changelog_version"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/io.zelvo.Zelvo.metainfo.xml" ||
    fail "metainfo names no release $version"

# A journal PDF written with no fonts but those of the font packages the package depends on:
# its ideographs read back as themselves, not as the look-alike Kangxi radicals.
mkdir -p "$work/fonts" "$work/pdf-config" "$work/pdf-data" "$work/runtime"
chmod 0700 "$work/runtime"
{
    echo '<?xml version="1.0"?>'
    echo '<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">'
    echo '<fontconfig>'
    for p in $(grep '^fonts-' <<<"$depends"); do
        listed=$(dpkg -L "$p") || fail "font package $p is not installed"
        grep -E '\.(ttf|ttc|otf)$' <<<"$listed" | xargs -r -n1 dirname | sort -u |
            sed 's|.*|  <dir>&</dir>|'
    done
    echo "  <cachedir>$work/fonts</cachedir>"
    echo '</fontconfig>'
} >"$work/fonts.conf"
FONTCONFIG_FILE=$work/fonts.conf QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/pdf-config \
    XDG_DATA_HOME=$work/pdf-data XDG_RUNTIME_DIR=$work/runtime \
    timeout 120 "$journal_pdf" "$work/journal.pdf" >"$work/pdf.log" 2>&1 ||
    fail "journal PDF: $(cat "$work/pdf.log")"
text=$(pdftotext "$work/journal.pdf" -)
for c in 金 页 第1页 五金仓库 铝合金门; do
    grep -q "$c" <<<"$text" || fail "no $c in the journal PDF: $text"
done
# Nothing from the blocks of the Kangxi radicals and their supplement (⾦ ⾴ ⻔ ⻩ …).
perl -CSD -ne 'exit 1 if /[\x{2E80}-\x{2FDF}]/' <<<"$text" ||
    fail "radicals for ideographs in the journal PDF: $text"

mkdir -p "$work/config" "$work/data"
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
