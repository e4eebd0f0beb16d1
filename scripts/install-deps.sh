#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Zelvo need.
# Idempotent: when everything is present it prints nothing and touches nothing.
set -euo pipefail

packages=(
  g++ cmake make pkg-config clang-format libsqlite3-dev libicu-dev libpq-dev openssl
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc
  qt6-translations-l10n libgl-dev
  libgtest-dev libbenchmark-dev
  postgresql-15 postgresql-client-15
  unixodbc unixodbc-dev odbc-postgresql tdsodbc
  fonts-noto-cjk fonts-wqy-microhei fonts-dejavu-core
  xvfb xauth imagemagick
  dpkg-dev file desktop-file-utils appstream lintian
  poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "缺少软件包 / missing packages: ${missing[*]}" >&2
  echo "请以 root 身份运行 / run as root: sudo $0" >&2
  exit 1
fi
echo "安装软件包 / installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
