#!/usr/bin/env bash
# Builds libpng as a static library for a mingw-w64 target and puts it, with the static zlib
# of Debian's libz-mingw-w64-dev, into one prefix, so that the Windows DLL links both into
# itself and needs neither a PNG nor a zlib DLL beside it.
#
#   scripts/mingw-deps.sh TRIPLET PREFIX
#     TRIPLET  i686-w64-mingw32 or x86_64-w64-mingw32
#     PREFIX   gets include/{png.h,pngconf.h,pnglibconf.h,zlib.h,zconf.h},
#              lib/libpng16.a, lib/libz.a and orvex-deps.txt (what was built, from what)
#
# Quiet: prints nothing unless something fails, and then the end of its log.
# Idempotent: returns at once when PREFIX already holds the libraries and headers for TRIPLET.
#
# The libpng sources are Debian's source package libpng1.6, fetched with `apt-get source`
# through a private apt configuration built from this machine's own sources (their deb
# entries turned into deb-src ones, keeping their Signed-By keyrings so that the index
# signatures are still checked). /etc/apt is only read, never written.
#
# Environment:
#   ORVEX_LIBPNG_VERSION  try only this Debian version of libpng1.6 (e.g. 1.6.39-2+deb12u5)
#                         instead of every version the source index lists, newest first.
set -eEuo pipefail

usage()
{
    echo "usage: $0 i686-w64-mingw32|x86_64-w64-mingw32 PREFIX" >&2
    exit 2
}

[ $# -eq 2 ] && [ -n "$2" ] || usage
triplet=$1
case "$triplet" in
    i686-w64-mingw32) processor=i686 ;;
    x86_64-w64-mingw32) processor=x86_64 ;;
    *) usage ;;
esac
mkdir -p "$2"
prefix=$(cd "$2" && pwd)
stamp=$prefix/orvex-deps.txt
sourcePackage=libpng1.6

installed()
{
    local f
    for f in lib/libpng16.a lib/libz.a include/png.h include/pngconf.h include/pnglibconf.h \
             include/zlib.h include/zconf.h; do
        [ -s "$prefix/$f" ] || return 1
    done
    # A prefix filled for the other word size must not pass for this one.
    grep -qx "triplet=$triplet" "$stamp" 2>/dev/null
}

installed && exit 0

# Two configures sharing a build folder may start this at once; the second waits and then
# finds everything in place.
exec 9>"$prefix/.orvex-deps.lock"
flock 9
installed && exit 0

work=$prefix/.work
log=$work/build.log
rm -rf "$work"
mkdir -p "$work"
: >"$log"
step="starting"

fail()
{
    echo "mingw-deps.sh ($triplet): $*" >&2
    echo "mingw-deps.sh: full log in $log; its last lines:" >&2
    tail -n 25 "$log" >&2 || true
    exit 1
}
trap 'fail "failed while $step"' ERR

# Everything a step prints goes to the log; the terminal stays quiet.
run()
{
    echo "+ $*" >>"$log"
    "$@" >>"$log" 2>&1
}

step="checking the toolchain and zlib"
sysroot=/usr/$triplet
for tool in "$triplet-gcc-posix" cmake apt-get apt-cache dpkg patch sha256sum tar; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done
for f in "$sysroot/lib/libz.a" "$sysroot/include/zlib.h" "$sysroot/include/zconf.h"; do
    [ -f "$f" ] || fail "$f is missing (package libz-mingw-w64-dev)"
done

# --- a private apt that knows the deb-src twins of this machine's sources -------------------
step="writing the private apt configuration"
apt=$work/apt
mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/sources.list.d" \
         "$apt/preferences.d"
: >"$apt/status"

# Where this machine keeps its sources (normally /etc/apt/sources.list and sources.list.d/).
eval "$(apt-config shell systemList Dir::Etc::SourceList/f systemParts Dir::Etc::SourceParts/d)"

# deb822 stanzas: every enabled stanza that offers binary packages is repeated as a source
# stanza with the same URIs, suites, components and options (Signed-By among them).
deb822ToSource()
{
    awk 'BEGIN { RS = "" }
         {
             n = split($0, line, "\n"); out = ""; binary = 0; enabled = 1
             for (i = 1; i <= n; i++) {
                 l = line[i]
                 if (tolower(l) ~ /^types:/) {
                     if (l ~ /[: \t]deb([ \t]|$)/) binary = 1
                     l = "Types: deb-src"
                 } else if (tolower(l) ~ /^enabled:[ \t]*no/) {
                     enabled = 0
                 }
                 out = out l "\n"
             }
             if (binary && enabled) printf "%s\n", out
         }' "$1"
}

# One-line entries: "deb [options] uri suite components" gives "deb-src [options] ...".
oneLineToSource()
{
    sed -n -E 's/^[[:space:]]*deb([[:space:]]+)/deb-src\1/p' "$1"
}

: >"$apt/sources.list"
: >"$apt/sources.list.d/machine.sources"
for f in "$systemList" "$systemParts"*.list; do
    if [ -f "$f" ]; then oneLineToSource "$f" >>"$apt/sources.list"; fi
done
for f in "$systemParts"*.sources; do
    if [ -f "$f" ]; then deb822ToSource "$f" >>"$apt/sources.list.d/machine.sources"; fi
done
awk '!seen[$0]++' "$apt/sources.list" >"$apt/sources.list.tmp"
mv "$apt/sources.list.tmp" "$apt/sources.list"
if [ ! -s "$apt/sources.list" ] && [ ! -s "$apt/sources.list.d/machine.sources" ]; then
    fail "this machine has no apt sources to fetch $sourcePackage from"
fi

sandbox=""
# As root, apt would hand downloads to its _apt user, who may not enter a private build
# folder; the files land in our own folder either way.
[ "$(id -u)" -eq 0 ] && sandbox='APT::Sandbox::User "root";'
cat >"$apt/apt.conf" <<EOF
Dir::State "$apt/state";
Dir::State::status "$apt/status";
Dir::Cache "$apt/cache";
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/sources.list.d";
Dir::Etc::PreferencesParts "$apt/preferences.d";
Dir::Etc::Preferences "$apt/preferences";
Acquire::Languages "none";
$sandbox
#clear APT::Update::Pre-Invoke;
#clear APT::Update::Post-Invoke;
#clear APT::Update::Post-Invoke-Success;
EOF
export APT_CONFIG=$apt/apt.conf

step="updating the private source index"
# A configured source that carries no deb-src index makes update complain; what matters is
# whether some source lists libpng1.6, which the next step finds out.
run apt-get -q update || true

step="listing the versions of $sourcePackage"
newestFirst()
{
    local v i sorted=()
    for v in "$@"; do
        i=0
        while [ $i -lt ${#sorted[@]} ] && dpkg --compare-versions "${sorted[$i]}" gt "$v"; do
            i=$((i + 1))
        done
        sorted=("${sorted[@]:0:$i}" "$v" "${sorted[@]:$i}")
    done
    printf '%s\n' "${sorted[@]}"
}
if [ -n "${ORVEX_LIBPNG_VERSION:-}" ]; then
    candidates=("$ORVEX_LIBPNG_VERSION")
else
    mapfile -t listed < <(apt-cache showsrc "$sourcePackage" 2>>"$log" |
        awk -v p="$sourcePackage" '/^Package: /{ pkg = $2 } /^Version: /{ if (pkg == p && !seen[$2]++) print $2 }')
    [ ${#listed[@]} -gt 0 ] || fail "no configured source lists $sourcePackage"
    mapfile -t candidates < <(newestFirst "${listed[@]}")
fi
echo "candidate versions: ${candidates[*]}" >>"$log"

# Checks every file that a .dsc names against its SHA-256 sum and size. The .dsc itself was
# checked by apt against the signed index.
verifyDsc()
{
    local dsc=$1 dir sum size name count=0
    dir=$(dirname "$dsc")
    while read -r sum size name; do
        case "$name" in ''|*/*|.*) return 1 ;; esac
        [ -f "$dir/$name" ] || return 1
        [ "$(stat -c %s "$dir/$name")" = "$size" ] || return 1
        echo "$sum  $dir/$name" | sha256sum -c --status - || return 1
        count=$((count + 1))
    done < <(awk '/^Checksums-Sha256:/ { f = 1; next } f && /^ / { print $1, $2, $3; next } { f = 0 }' "$dsc")
    [ $count -gt 0 ]
}

# The newest version in the index is not always served whole (a security update's files may
# lag behind its index entry): take the first one that arrives complete and checks out.
step="fetching $sourcePackage"
version=""
for v in "${candidates[@]}"; do
    dir=$work/fetch/$v
    mkdir -p "$dir"
    if (cd "$dir" && run apt-get source --download-only -q "$sourcePackage=$v"); then
        dsc=$(ls "$dir"/*.dsc 2>/dev/null | head -n 1 || true)
        if [ -n "$dsc" ] && grep -qx "Version: $v" "$dsc" && verifyDsc "$dsc"; then
            version=$v
            break
        fi
        echo "version $v: files do not match the checksums of its .dsc" >>"$log"
    else
        echo "version $v: not served whole, trying the next one" >>"$log"
    fi
done
[ -n "$version" ] || fail "no version of $sourcePackage could be fetched whole (tried: ${candidates[*]})"

step="unpacking $sourcePackage $version"
fetched=$work/fetch/$version
orig=$(ls "$fetched"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n 1 || true)
[ -n "$orig" ] || fail "$sourcePackage $version has no upstream tarball"
src=$work/src
mkdir -p "$src"
run tar -xf "$orig" -C "$src" --strip-components=1

# Debian's packaging patches (its libpng-config tweaks, the optional APNG patch) are not
# wanted for a static library inside our DLL, but its backported security fixes are: they
# mend memory-safety faults in the decoder itself, which no caller can work around.
applied=()
debianTar=$(ls "$fetched"/*.debian.tar.* 2>/dev/null | head -n 1 || true)
if [ -n "$debianTar" ]; then
    step="applying the security patches of $sourcePackage $version"
    mkdir -p "$work/debian"
    run tar -xf "$debianTar" -C "$work/debian"
    series=$work/debian/debian/patches/series
    if [ -f "$series" ]; then
        while read -r patchName patchLevel _; do
            case "$patchName" in CVE-*) ;; *) continue ;; esac
            run patch -d "$src" "${patchLevel:--p1}" --batch --forward -s \
                -i "$work/debian/debian/patches/$patchName"
            applied+=("$patchName")
        done < <(sed -e 's/#.*//' "$series" | awk 'NF')
    fi
fi

step="configuring libpng"
cflags=""
[ "$processor" = i686 ] && cflags="-msse2 -mfpmath=sse"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
run cmake -S "$src" -B "$work/build" "${generator[@]}" --no-warn-unused-cli -Wno-dev \
    -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_SYSTEM_PROCESSOR="$processor" \
    -DCMAKE_C_COMPILER="$triplet-gcc-posix" \
    -DCMAKE_RC_COMPILER="$triplet-windres" \
    -DCMAKE_FIND_ROOT_PATH="$sysroot" \
    -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
    -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS="$cflags" \
    -DCMAKE_INSTALL_PREFIX="$work/stage" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF \
    -DPNG_FRAMEWORK=OFF \
    -DZLIB_LIBRARY="$sysroot/lib/libz.a" \
    -DZLIB_INCLUDE_DIR="$sysroot/include"

step="building libpng"
run cmake --build "$work/build" -j 2
run cmake --install "$work/build"
[ -s "$work/stage/lib/libpng16.a" ] || fail "the libpng build produced no lib/libpng16.a"

# Only the static zlib archive is copied, never its import library: wine ships a zlib1.dll
# that would quietly satisfy an accidental dynamic link.
step="installing into $prefix"
mkdir -p "$prefix/include" "$prefix/lib"
cp -R "$work/stage/include/." "$prefix/include/"
cp "$sysroot/include/zlib.h" "$sysroot/include/zconf.h" "$prefix/include/"
cp "$sysroot/lib/libz.a" "$prefix/lib/libz.a"
zlibVersion=$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev 2>/dev/null || echo unknown)
{
    echo "triplet=$triplet"
    echo "libpng-source=$sourcePackage $version"
    echo "libpng-patches=${applied[*]:-none}"
    echo "zlib=libz-mingw-w64-dev $zlibVersion (static)"
} >"$stamp"
# The library goes in last, by a rename, so an interrupted run never leaves a prefix that
# looks complete.
cp "$work/stage/lib/libpng16.a" "$prefix/lib/.libpng16.a.part"
mv "$prefix/lib/.libpng16.a.part" "$prefix/lib/libpng16.a"

trap - ERR
rm -rf "$work"
