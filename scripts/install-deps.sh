#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need. Idempotent and
# quiet: packages already present are not asked for, and apt is only run when something
# is missing. Package names live in scripts/packages/*.txt, one per line.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wanted=$(cat "$here"/packages/*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | grep -v '^$' | sort -u)
native=$(dpkg --print-architecture)
missing=()
for p in $wanted; do
    # A plain name means the machine's own architecture (or "all"): once a foreign one is
    # added, dpkg answers for every installed architecture of a name.
    case "$p" in
        *:*) archs=" ${p##*:} " ;;
        *) archs=" $native all " ;;
    esac
    installed=no
    while read -r arch state; do
        [ "$state" = "install ok installed" ] && [[ "$archs" == *" $arch "* ]] && installed=yes
    done < <(dpkg-query -W -f='${Architecture} ${Status}\n' "$p" 2>/dev/null || true)
    [ $installed = yes ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
# Packages named NAME:ARCH (the 32-bit build's libraries) need that architecture known to
# dpkg; it is added once, and the update below then fetches its package lists.
for arch in $(printf '%s\n' "${missing[@]}" | sed -n 's/^[^:]*:\([a-z0-9]*\)$/\1/p' | sort -u); do
    if [ "$arch" != "$native" ] &&
       ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
        $SUDO dpkg --add-architecture "$arch"
    fi
done
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
