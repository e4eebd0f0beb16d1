#!/usr/bin/env bash
# Builds the program alone in Release in build-pkg/ and packs it into zelvo_<version>_amd64.deb
# in the top folder, to install with `apt install ./zelvo_<version>_amd64.deb`.
# Arguments go to cmake, e.g. -DZELVO_DB_ENGINE=PSQL -DZELVO_DB_SERVER=db.example.lan,5432
set -euo pipefail

cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-pkg -Wno-dev -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build-pkg -j2 --target zelvo zelvo_docs
rm -rf build-pkg/package
# cpack talks on stderr even when all is well; its words matter only when it fails.
if ! cpack --config build-pkg/CPackConfig.cmake -B build-pkg/package >build-pkg/cpack.log 2>&1; then
    cat build-pkg/cpack.log >&2
    exit 1
fi
deb=$(basename build-pkg/package/zelvo_*_amd64.deb)
cp "build-pkg/package/$deb" .
echo "$deb"
