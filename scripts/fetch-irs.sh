#!/usr/bin/env bash
# Fetches real cabinet IRs from Debian's packages (rakarrack's convolution files and
# guitarix's amp and cabinet IRs) into DEST, without installing the applications:
# apt-get download and dpkg-deb -x. Idempotent and quiet when DEST is complete.
#   scripts/fetch-irs.sh DEST
set -euo pipefail
dest=${1:?usage: fetch-irs.sh DEST}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
if [ -f "$dest/.complete" ]; then
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# apt's download sandbox user may not enter a private temporary folder; this one is ours.
chmod 755 "$work"
fetch() {
    local pkg=$1
    if ! apt-get download -qq "$pkg" >/dev/null 2>&1; then
        apt-get update -qq >/dev/null 2>&1 || true
        apt-get download -qq "$pkg" >/dev/null 2>&1
    fi
}
fetch rakarrack
fetch guitarix-common
for deb in ./*.deb; do
    dpkg-deb -x "$deb" extracted
done
mkdir -p "$dest/rakarrack" "$dest/guitarix"
cp extracted/usr/share/rakarrack/*.wav "$dest/rakarrack/"
cp extracted/usr/share/gx_head/sounds/amps/*.wav "$dest/guitarix/"
touch "$dest/.complete"
