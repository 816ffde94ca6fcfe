# Sourced by run.sh, test.sh and package.sh: the Debian packages the program, its tests and tools need,
# installed when missing (as root), otherwise the one command to run is printed.
TAMSO_PACKAGES="build-essential cmake pkg-config qt6-base-dev qt6-base-dev-tools qt6-l10n-tools qt6-tools-dev-tools qt6-svg-dev libqt6svg6-dev qt6-charts-dev \
libgl-dev libdcmtk-dev python3 libgtest-dev libgmock-dev libbenchmark-dev libxrl-dev fonts-ipaexfont qt6-translations-l10n xvfb xauth poppler-utils \
dpkg-dev file ccache"
# Only test.sh needs these: the Windows cross-build of the core, tamso-calc and the core tests
# (MinGW-w64, GoogleTest's sources), Wine's 64-bit loader to run them, NSIS for the installer,
# lintian for the Debian package; DCMTK's tools (storescu and echoscu, the senders of the node's
# tests) and dicom3tools, which check the dose reports; openssl for the TLS certificates of the
# node's tests; Orthanc, the PACS of the network tests.
TAMSO_TEST_PACKAGES="g++-mingw-w64-x86-64 googletest wine wine64 nsis lintian dcmtk dicom3tools orthanc openssl"

# Installs TAMSO_PACKAGES and the packages given as arguments.
tamso_install_packages() {
    local missing=""
    for p in $TAMSO_PACKAGES "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "These Debian packages are missing. Install them, then run this script again:"
        echo "  sudo apt-get update && sudo apt-get install -y$missing"
        exit 1
    fi
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq $missing >/dev/null || {
        echo "apt-get could not install:$missing"
        exit 1
    }
}

tamso_build() {
    # ccache, where installed, keeps a rebuild of unchanged sources short.
    local launcher=""
    command -v ccache >/dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    cmake -S "$TAMSO_ROOT" -B "$TAMSO_ROOT/build" -DCMAKE_BUILD_TYPE=Release $launcher >/dev/null || exit 1
    cmake --build "$TAMSO_ROOT/build" -j "$(nproc)" "$@" || exit 1
}
