#!/usr/bin/env bash
# scripts/check-layers.sh on small source trees: a circle or a forbidden include written in any
# include form fails the check; the same files without the back edge pass it.
#   test_check_layers.sh CHECK_LAYERS_SCRIPT
set -euo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# tree NAME FILE:INCLUDE... — a tree under $work/NAME whose FILE holds `#include INCLUDE`
# (FILE: alone, an empty file).
tree() {
    local dir=$work/$1
    shift
    mkdir -p "$dir"
    for entry in "$@"; do
        mkdir -p "$dir/$(dirname "${entry%%:*}")"
        touch "$dir/${entry%%:*}"
        [ -z "${entry#*:}" ] || printf '#include %s\n' "${entry#*:}" >>"$dir/${entry%%:*}"
    done
    echo "$dir"
}

expect() { # expect pass|fail NAME FILE:INCLUDE...
    local want=$1 name=$2 dir said
    shift 2
    dir=$(tree "$name" "$@")
    if said=$(bash "$check" "$dir" 2>&1); then got=pass; else got=fail; fi
    if [ "$got" != "$want" ]; then
        echo "FAIL: $name: wanted $want, got $got: $said" >&2
        failures=$((failures + 1))
    fi
}

# Every circle goes through db/sqlaccess and main_window/kuang; only the back edge's form differs.
expect fail parent-folder 'main_window/kuang.h:"db/sqlaccess.h"' \
    'db/sqlaccess.h:"../main_window/kuang.h"'
expect fail same-folder 'main_window/kuang.h:"db/sqlaccess.h"' \
    'db/sqlaccess.h:"sqlconn.h"' 'db/sqlconn.h:"main_window/kuang.h"'
expect fail angled 'main_window/kuang.h:"db/sqlaccess.h"' 'db/sqlaccess.h:<main_window/kuang.h>'
expect fail unit-of-parts 'main_window/kuang_admin.cpp:<db/sqlaccess.h>' \
    'db/sqlaccess.h:"../main_window/kuang.h"' 'main_window/kuang.h:'
expect fail window-into-main 'reports/mxlst.cpp:"../main_window/kuang.h"' 'main_window/kuang.h:'
expect fail window-into-main-angled 'admin/usrgl.cpp:<main_window/kuang.h>' \
    'main_window/kuang.h:'
expect fail editor-into-journal 'reports/mxed.cpp:"mxlst.h"' 'reports/mxlst.h:'
# Includes of the same forms without a back edge, and headers from outside the tree.
expect pass no-circle 'main_window/kuang.h:"db/sqlaccess.h"' 'main_window/kuang.cpp:"kuang.h"' \
    'main_window/kuang_admin.cpp:<db/sqlaccess.h>' 'db/sqlaccess.cpp:"sqlaccess.h"' \
    'db/sqlaccess.h:<QString>' 'reports/mxlst.cpp:"../db/sqlaccess.h"' \
    'main_window/kuang.cpp:"../reports/mxlst.h"' 'reports/mxlst.h:"mxed.h"' 'reports/mxed.h:' \
    'reports/mxed.cpp:"../reports/mxed.h"'

[ "$failures" -eq 0 ] || exit 1
echo "check-layers: every include form followed"
