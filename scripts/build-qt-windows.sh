#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Qt 6 for 64-bit Windows (MinGW-w64, posix threads) from Debian's own qt6-base source,
# once per machine, into a cache outside the clone:
#     scripts/build-qt-windows.sh            builds when needed; prints the install prefix last
#     scripts/build-qt-windows.sh --prefix   prints the prefix the build goes to, builds nothing
# The cache folder is keyed by the Qt version and this script's own hash, so a changed script
# builds afresh beside the old one; a run that finds its folder complete does nothing.
# METERREADER_CACHE (default /var/cache/meterreader) says where the cache lives.
# Only what the window needs: Core, Gui, Widgets, Print Support and Qt Test, with the windows
# and offscreen platform plugins and the Windows styles. Debian's own host tools (moc, rcc,
# uic) from qt6-base-dev-tools serve the build, so their version must be the source's.
set -euo pipefail
cd "$(dirname "$0")/.."

cache=${METERREADER_CACHE:-/var/cache/meterreader}
script_hash=$(sha256sum "$0" | cut -c1-12)
started=$SECONDS
say() { printf '== qt for windows (%d s): %s\n' "$((SECONDS - started))" "$*" >&2; }
die() { printf 'build-qt-windows: %s\n' "$*" >&2; exit 1; }

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# The version comes from the host tools: the source fetched must match them.
hostversion() {
    dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null | sed 's/+.*//; s/-.*//'
}
needed=(dpkg-dev cmake ninja-build perl python3 qt6-base-dev qt6-base-dev-tools
        g++-mingw-w64-x86-64-posix)
if [ "${1:-}" != --prefix ]; then
    missing=()
    for p in "${needed[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        say "installing ${missing[*]}"
        $sudo apt-get update -qq
        $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
fi
version=$(hostversion)
[ -n "$version" ] || version=unknown
prefix=$cache/qt-$version-mingw64-$script_hash
if [ "${1:-}" = --prefix ]; then
    echo "$prefix"
    exit 0
fi
if [ -f "$prefix/.complete" ]; then
    say "already built in $prefix"
    echo "$prefix"
    exit 0
fi

work=$cache/work-$version-$script_hash
$sudo mkdir -p "$cache"
$sudo chown "$(id -u):$(id -g)" "$cache"
mkdir -p "$work"

# The source, through apt: Debian's deb-src entries are added when the machine has none.
source_dir=$(find "$work/src" -maxdepth 1 -type d -name 'qt6-base-*' 2>/dev/null | head -n 1 || true)
if [ -z "$source_dir" ]; then
    if ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        say "adding Debian's deb-src entries"
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
                $sudo tee /etc/apt/sources.list.d/meterreader-deb-src.sources >/dev/null
        else
            grep -hE '^deb ' /etc/apt/sources.list | grep -v -e nodesource -e google |
                sed 's/^deb /deb-src /' |
                $sudo tee /etc/apt/sources.list.d/meterreader-deb-src.list >/dev/null
        fi
        $sudo apt-get update -qq
    fi
    say "fetching qt6-base $version source"
    rm -rf "$work/src"
    mkdir -p "$work/src"
    if ! (cd "$work/src" && apt-get source -qq "qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)" >"$work/source.log" 2>&1 ||
          apt-get source -qq qt6-base >>"$work/source.log" 2>&1); then
        tail -n 5 "$work/source.log" >&2
        die "the source of qt6-base cannot be had through apt-get source (see $work/source.log)"
    fi
    source_dir=$(find "$work/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
    [ -n "$source_dir" ] || die "apt-get source gave no qt6-base folder in $work/src"
fi

# The cross compiler, as a toolchain file of its own: Qt's libraries link MinGW's runtime as
# DLLs (libstdc++, libgcc, winpthread), which are deployed beside the window.
cat >"$work/toolchain.cmake" <<'CMAKE'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
CMAKE

build=$work/build
rm -rf "$build"
mkdir -p "$build"
say "configuring in $build"
# tabletevent: Debian's source has no wintab headers. direct2d stays on: without it the
# windows platform plugin does not link in 6.4.2; direct2d1_1 only adds the qdirect2d platform
# plugin, a second build of the windows one that is never deployed. The window paints with
# GDI (QWidget, the windows plugin's raster backing store), so OpenGL, its function tables and
# Vulkan are left out: the windows plugin and Print Support build without them.
configure=("$source_dir/configure"
    -prefix "$prefix" -release -shared
    -xplatform win32-g++ -qt-host-path /usr
    -nomake examples -nomake tests
    -no-feature-tabletevent -no-feature-sql -no-feature-network -no-dbus
    -no-opengl -no-feature-vulkan -no-feature-direct2d1_1
    --
    "-DCMAKE_TOOLCHAIN_FILE=$work/toolchain.cmake"
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
echo "${configure[*]}" >"$work/configure-line.txt"
if ! (cd "$build" && nice -n 19 "${configure[@]}" >"$work/configure.log" 2>&1); then
    tail -n 30 "$work/configure.log" >&2
    die "configure failed (see $work/configure.log)"
fi

# QT_BUILD_NICE (default 19) lets a machine that waits on this build give it more of the CPU.
niceness=${QT_BUILD_NICE:-19}
jobs=${QT_BUILD_JOBS:-2}
say "building (nice $niceness, $jobs jobs; about half an hour on 2 cores)"
(cd "$build" && nice -n "$niceness" cmake --build . --parallel "$jobs" >"$work/build.log" 2>&1) &
builder=$!
while kill -0 "$builder" 2>/dev/null; do
    sleep 60
    kill -0 "$builder" 2>/dev/null || break
    step=$(grep -oE '^\[[0-9]+/[0-9]+\]' "$work/build.log" | tail -n 1 || true)
    say "building ${step:-…}"
done
if ! wait "$builder"; then
    grep -m 20 -E 'error|Error' "$work/build.log" >&2 || tail -n 30 "$work/build.log" >&2
    die "the build failed (see $work/build.log)"
fi

say "installing into $prefix"
rm -rf "$prefix"
if ! (cd "$build" && cmake --install . >"$work/install.log" 2>&1); then
    tail -n 20 "$work/install.log" >&2
    die "the install failed (see $work/install.log)"
fi
cp "$work/configure-line.txt" "$prefix/configure-line.txt"
touch "$prefix/.complete"
# The build tree is large (about 700 MB) and not needed again.
rm -rf "$build"
say "done: $(du -sh "$prefix" | cut -f1) in $prefix"
echo "$prefix"
