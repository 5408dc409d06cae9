#!/bin/sh
# Installs the Debian 12 packages that building, testing and benchmarking Tutor Bench need.
# Installs only what is missing, so running it again changes nothing.
#   tools/install-deps.sh          compiler, CMake, Qt 6, pugixml, libzip, GoogleTest, Google Benchmark, fonts,
#                                  poppler-utils, clang-format, LibreOffice Calc
#   tools/install-deps.sh --fuzz   the same plus clang 14 and its fuzzing runtime
set -e

# libgl-dev and the fonts let the Qt window tests run on the offscreen platform; the print tests read
# the PDFs back with poppler-utils' pdftotext; the desktop file tools check the installed menu entry
# and metainfo; dpkg-dev and file make the Debian package with its library dependencies, and lintian
# checks it; LibreOffice Calc reads the exported marks back as a spreadsheet would.
PACKAGES="cmake make g++ pkg-config qt6-base-dev libpugixml-dev libzip-dev libgl-dev libgtest-dev libgmock-dev \
libbenchmark-dev fonts-dejavu-core poppler-utils desktop-file-utils appstream dpkg-dev file lintian clang-format \
libreoffice-calc-nogui"
if [ "$1" = "--fuzz" ]; then
    PACKAGES="$PACKAGES clang-14 libclang-rt-14-dev"
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "These packages are missing:$missing" >&2
    echo "Install them as root (apt-get install$missing), or install sudo, and run this again." >&2
    exit 1
fi
$SUDO apt-get update
# sudo drops most of the environment, so the setting is passed through env.
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
