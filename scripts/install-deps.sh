#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need. Idempotent and
# quiet: packages already present are not asked for, and apt is only run when something
# is missing. Package names live in scripts/packages/*.txt, one per line.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wanted=$(cat "$here"/packages/*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | grep -v '^$' | sort -u)
missing=()
for p in $wanted; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
