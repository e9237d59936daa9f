#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package build/package/meterreader_<version>_<arch>.deb from a release build
# without the tests, then checks it: installs it, reads the demo meter through the installed
# programs, validates the desktop entry and the AppStream metainfo, runs lintian, and removes
# the package again so that the machine is left as it was.
#   scripts/package.sh              build and check (the check needs root or sudo)
#   scripts/package.sh --no-check   build only
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

check=1
case "${1:-}" in
    "") ;;
    --no-check) check=0 ;;
    *) echo "usage: scripts/package.sh [--no-check]" >&2; exit 2 ;;
esac

tools=(dpkg-dev file)
if [ $check = 1 ]; then tools+=(desktop-file-utils appstream lintian); fi
scripts/setup.sh "${tools[@]}"

# Debian's hardening flags, as a package built by dpkg-buildpackage would have them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

echo "== package: build"
cmake --preset package -DCMAKE_CXX_FLAGS="$cflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build --preset package
rm -f build/package/meterreader_*.deb
(cd build/package && cpack -G DEB >/dev/null)
deb=$(realpath build/package/meterreader_*.deb)
echo "$deb"
if [ $check = 0 ]; then exit 0; fi

echo "== package: check"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if dpkg-query -W meterreader >/dev/null 2>&1; then
    echo "meterreader is installed on this machine already; the check installs and removes" \
         "the package, so remove it first (sudo dpkg -P meterreader)" >&2
    exit 1
fi

work=$(mktemp -d)
sim=""
cleanup() {
    if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; fi
    rm -rf "$work"
    $sudo dpkg -P meterreader >/dev/null 2>&1 || true
}
trap cleanup EXIT

fail() {
    echo "package check failed: $*" >&2
    exit 1
}

export DEBIAN_FRONTEND=noninteractive
if ! $sudo dpkg -i "$deb"; then
    $sudo apt-get install -f -y -qq
fi
dpkg-query -W -f='${Status}\n' meterreader | grep -q 'install ok installed' ||
    fail "the package did not install"
dpkg-deb -f "$deb" Recommends | grep -qw qt6-translations-l10n ||
    fail "the package does not recommend qt6-translations-l10n (Qt's own dialogs in Chinese)"

appid=io.github.meterreader.MeterReader
for f in /usr/bin/meterreader /usr/bin/meterread /usr/bin/metersim \
         /usr/lib/meterreader/libcpedfm.so /usr/share/applications/$appid.desktop \
         /usr/share/metainfo/$appid.metainfo.xml /usr/share/icons/hicolor/scalable/apps/$appid.svg \
         /usr/share/man/man1/meterread.1.gz /usr/share/man/man1/meterreader.1.gz \
         /usr/share/man/man1/metersim.1.gz; do
    [ -e "$f" ] || fail "$f is not installed"
done

# The installed programs, run from /usr/bin with nothing from the build tree on any path.
cd "$work"
version=$(/usr/bin/meterreader --version)
echo "$version"
[ "$version" = "meterreader $(sed -n 's/^project(meterreader VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")" ] ||
    fail "meterreader --version says \"$version\""
/usr/bin/meterread --version

# copote reads through the vendor library in /usr/lib/meterreader.
json=$(/usr/bin/meterread --demo --type copote --json) || fail "meterread --demo --type copote failed"
echo "$json"
for member in '"end":"normal"' '"total":"000002111050"' '"head":"0000123456"'; do
    grep -qF "$member" <<<"$json" || fail "meterread --json lacks $member"
done
/usr/bin/meterread --demo --type "5400(5表头)" >/dev/null || fail "meterread --demo 5400(5表头) failed"

# metersim serves a pseudo-terminal that meterread reads.
/usr/bin/metersim --type neopost --used 777 >"$work/sim.out" &
sim=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/sim.out")
[ -n "$pty" ] || fail "metersim printed no pseudo-terminal"
out=$(/usr/bin/meterread --lang zh --type neopost --device "1=$pty") || fail "meterread of metersim failed"
grep -q '^已用邮资：000000000777$' <<<"$out" || fail "meterread of metersim read: $out"
kill "$sim"; wait "$sim" 2>/dev/null || true; sim=""

# Copied elsewhere with its helper program, the reader no longer finds the vendor library and
# says where it looked.
mkdir -p "$work/elsewhere/bin"
cp /usr/bin/meterread /usr/lib/meterreader/cpedfm-host "$work/elsewhere/bin/"
if "$work/elsewhere/bin/meterread" --lang en --demo --type copote >/dev/null \
    2>"$work/missing.err"; then
    fail "meterread read copote without its vendor library"
fi
grep -qF "$work/elsewhere/bin/libcpedfm.so or $work/elsewhere/lib/meterreader/libcpedfm.so" \
    "$work/missing.err" || fail "the reason for the missing library: $(cat "$work/missing.err")"

# Without a display the window says what to do rather than aborting.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/meterreader --demo 2>"$work/nodisplay.err" ||
    status=$?
[ "$status" = 1 ] && grep -q "meterread --demo" "$work/nodisplay.err" ||
    fail "meterreader without a display ended with $status: $(cat "$work/nodisplay.err")"
# With one, the installed window comes up and stays up until it is closed.
if command -v xvfb-run >/dev/null 2>&1; then
    status=0
    env -u QT_QPA_PLATFORM xvfb-run -a timeout 3 /usr/bin/meterreader --demo || status=$?
    [ "$status" = 124 ] || fail "the window under Xvfb ended with $status before it was closed"
fi
cd "$root"

desktop-file-validate /usr/share/applications/$appid.desktop
appstreamcli validate --no-net /usr/share/metainfo/$appid.metainfo.xml
lintian --fail-on error "$deb" ||
    fail "lintian reports errors"

# Removed, and purged so that dpkg does not even remember it.
$sudo dpkg -r meterreader >/dev/null
[ ! -e /usr/bin/meterreader ] || fail "/usr/bin/meterreader is still there after removal"
$sudo dpkg -P meterreader >/dev/null
! dpkg-query -W meterreader >/dev/null 2>&1 || fail "dpkg still knows the package after removal"
echo "== package: $(basename "$deb") built, installed, checked and removed"
