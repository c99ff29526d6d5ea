#!/usr/bin/env bash
# Tervana: set up, build and run.
#   ./run.sh demo   install what is missing, build, run kq4calc on a bundled example
#   ./run.sh test   install what is missing, build (plain, and ASan+UBSan with the fuzz targets),
#                   run every test
#   ./run.sh build  install what is missing, build only
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
top=$PWD

# Debian packages: what the build needs, and what only the tests need.
build_pkgs=(g++ cmake ninja-build ccache pkg-config libopenblas-dev qt6-base-dev qt6-qpa-plugins qt6-translations-l10n
            qt6-svg-dev libuemf-dev libcurl4-openssl-dev libssh-dev)
test_pkgs=(libgtest-dev gfortran locales clang libclang-rt-14-dev libglpk-dev dbus-daemon dpkg-dev file
           imagemagick librsvg2-bin poppler-utils libwmf-bin fonts-urw-base35 unrtf
           python3-pyftpdlib busybox-static openssh-server openssh-client parallel rsync)

missing_pkgs() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
    done
}

install_pkgs() {
    local missing
    missing=$(missing_pkgs "$@")
    [ -z "$missing" ] && return 0
    echo "Installing: $missing"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    # shellcheck disable=SC2086
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

# The file tests also run under a German locale (decimal comma in C stdio).
ensure_de_locale() {
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
    echo "Generating locale de_DE.UTF-8"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
}

# The Debian package from build/: made, installed, the installed programs tried (kq4calc on
# the demo input, whose kq4.err must hold a result code of the module), and removed again.
run_installed() { # scratch directory
    cp examples/demo.kq4 "$1/remote\$.kq4"
    (cd "$1" && /usr/bin/kq4calc 'remote$.kq4' 0 >/dev/null) || return 1
    local code
    code=$(head -n 1 "$1/kq4.err" 2>/dev/null | tr -d ' \r')
    echo "installed kq4calc on the demo: result code ${code:-none}"
    case "$code" in 1 | 0 | -2 | -3 | -4 | -5 | -6) ;; *) return 1 ;; esac
    [ -x /usr/bin/tervana ] && /usr/bin/tervana-cli --help >/dev/null
}

check_package() {
    local sudo="" deb tmp status=0
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    rm -f build/tervana_*.deb
    (cd build && cpack -G DEB >/dev/null) || return 1
    deb=$(echo "$top"/build/tervana_*.deb)
    [ -f "$deb" ] || return 1
    dpkg-deb --field "$deb" Package Version Maintainer Depends
    # The manual pages and the copyright file are in it.
    local f listing
    listing=$(dpkg-deb -c "$deb")
    # The manual with every picture it shows, where the program looks for it.
    local help
    help=$(grep -o 'src="[^"]*"' "$top/docs/tvhelp.html" | sed 's/^src="/tervana\//; s/"$//')
    for f in man/man1/tervana.1.gz man/man1/tervana-cli.1.gz man/man1/kq4calc.1.gz \
        doc/tervana/copyright doc/tervana/examples/demo.kq4 tervana/tvhelp.html $help; do
        grep -q "/usr/share/$f\$" <<<"$listing" || {
            echo "the package lacks /usr/share/$f" >&2
            return 1
        }
    done
    tmp=$(mktemp -d)
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null &&
        run_installed "$tmp" || status=1
    # shellcheck disable=SC2086
    $sudo apt-get purge -y -qq tervana >/dev/null || status=1
    rm -rf "$tmp"
    return $status
}

# kq4calc, lpmps and the model library build where no Qt is to be found.
check_without_qt() {
    configure_build build-noqt --no-warn-unused-cli -DTERVANA_GUI=OFF -DTERVANA_BUILD_TESTS=OFF \
        -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null || return 1
    if ldd build-noqt/bin/kq4calc build-noqt/bin/lpmps | grep -i 'libQt'; then
        echo "a program of the Qt-free build links Qt" >&2
        return 1
    fi
    [ -f build-noqt/model/libtervana_model.a ] && echo "kq4calc, lpmps and the model library built without Qt"
}

# Every build goes through ccache (CMakeLists.txt picks it up). The plain, the Qt-free and the
# package builds share their objects: paths are taken relative to the checkout, and the build
# folder does not enter the hash of objects with debug information.
export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=true

jobs=$(nproc 2>/dev/null || echo 2)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)

configure_build() { # dir, extra cmake args...
    local dir=$1
    shift
    if [ -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$top" -B "$dir" "$@" >/dev/null
    else
        cmake -S "$top" -B "$dir" "${gen[@]}" "$@"
    fi
    cmake --build "$dir" -j "$jobs"
}

case "${1:-}" in
demo)
    install_pkgs "${build_pkgs[@]}"
    configure_build build -DTERVANA_BUILD_TESTS=OFF
    demo=build/demo
    rm -rf "$demo" && mkdir -p "$demo"
    cp examples/demo.kq4 "$demo/remote\$.kq4"
    (cd "$demo" && "$top/build/bin/kq4calc" 'remote$.kq4' 0)
    echo "=== listing ($demo/remote\$.lst)"
    cat "$demo/remote\$.lst"
    echo "=== result code ($demo/kq4.err): $(cat "$demo/kq4.err")"
    echo "=== coefficients ($demo/remote\$.fk1: a0 eta-max / a(k) b(k) / a(0)-s a(0)-ss / theta eta-min / beta time)"
    cat "$demo/remote\$.fk1"
    echo "=== result files in $demo:"
    ls "$demo"
    echo "=== the desktop program: build/bin/tervana examples/cam_dwell.k4p"
    ;;
test)
    install_pkgs "${build_pkgs[@]}" "${test_pkgs[@]}"
    ensure_de_locale
    configure_build build -DTERVANA_BUILD_TESTS=ON
    # The sanitizer build is made with clang, which compiles it in little more than half the
    # time g++ takes, and it carries the libFuzzer targets of the readers, so that no third
    # build is needed. A folder configured with another compiler is made anew.
    if [ -f build-asan/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang' build-asan/CMakeCache.txt; then
        rm -rf build-asan
    fi
    CC=clang CXX=clang++ configure_build build-asan -DTERVANA_BUILD_TESTS=ON -DTERVANA_SANITIZE=ON \
        -DTERVANA_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug
    status=0
    # The loopback FTP, telnet and SSH servers are installed above: a test that cannot start
    # one fails here instead of skipping.
    export TERVANA_REQUIRE_TEST_SERVERS=1
    # One test more than there are cores: the remote tests spend most of their time waiting for
    # the loopback servers and their time-outs.
    tjobs=$((jobs + 1))
    echo "=== tests (after ${SECONDS} s)"
    (cd build && ctest --output-on-failure -j "$tjobs") || status=1
    # Every test once more under ASan+UBSan, and the file readers under libFuzzer (the fuzz_
    # tests: a few seconds each from their corpus).
    echo "=== tests (ASan+UBSan) and fuzzing the readers (after ${SECONDS} s)"
    (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j "$tjobs") || status=1
    echo "=== without Qt (-DTERVANA_GUI=OFF; after ${SECONDS} s)"
    check_without_qt || status=1
    echo "=== Debian package (install, installed kq4calc on the demo, remove; after ${SECONDS} s)"
    check_package || status=1
    echo "=== done in ${SECONDS} s"
    exit $status
    ;;
build)
    install_pkgs "${build_pkgs[@]}"
    configure_build build
    ;;
*)
    echo "usage: $0 demo|test|build" >&2
    exit 2
    ;;
esac
