#!/usr/bin/env bash
# Installs every Debian package the project needs on a fresh Debian 12 machine.
# Idempotent: packages already present are not touched, and the package lists are
# only refreshed when something is missing. Must run as root (or through sudo).
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libgl-dev
    libgdal-dev nlohmann-json3-dev
    fonts-dejavu-core
    clang-format clang-tidy
    # The fuzz preset (scripts/fuzz.sh): clang and its libFuzzer and sanitizer runtimes.
    clang libclang-rt-14-dev
    # The Windows stage (scripts/windows-check.sh): MinGW cross compiler, widl
    # and windres, and 32-bit Wine to run what it builds.
    g++-mingw-w64-i686-win32 mingw-w64-tools
    wine wine32:i386
    # The QGIS plugin: QGIS's headers and libraries (they bring Qt 5), the
    # application and its data providers for the end-to-end test, and a virtual
    # X server to run it on.
    libqgis-dev qgis qgis-providers xvfb xauth
    # scripts/qgis/postgis_e2e.sh: a throwaway PostGIS cluster for QGIS's
    # database layers.
    postgresql-15 postgresql-15-postgis-3
    # bench/copylegend_end_to_end.sh: ogr2ogr to write its data set, the sqlite3
    # peer it is measured against, and GNU time for both peaks of memory.
    gdal-bin sqlite3 time
    # scripts/package/package_test.sh: CPack's dependency computation
    # (dpkg-shlibdeps) and the checker of the packages it makes.
    dpkg-dev lintian
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    # wine32:i386 needs the i386 architecture; added once, before the lists are
    # refreshed below.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "setup: adding the i386 architecture"
        $sudo dpkg --add-architecture i386
    fi
    echo "setup: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
