# Shared by the project's scripts: installing what is missing, building both targets, and a Wine
# session that lives entirely inside the build tree. Source it; do not run it.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Where the two build trees go; another folder keeps a second checkout's work apart.
BUILD=${BUILD_ROOT:-$ROOT/build}
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
PACKAGES=(cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 xvfb xauth googletest locales)

install_missing() {
    local missing=() package
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# build/i686 holds the shipped program, build/x86_64 the same sources with the tests.
build_both() {
    local target
    for target in i686 x86_64; do
        [ -f "$BUILD/$target/CMakeCache.txt" ] ||
            cmake -S "$ROOT" -B "$BUILD/$target" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$target.cmake" >/dev/null
        cmake --build "$BUILD/$target" -j"$(nproc)"
    done
}

# Starts an Xvfb screen of the given depth on a free display; sets FREE_DISPLAY.
XVFB_PIDS=()
start_xvfb() {
    local depth=$1 display tries
    for display in $(seq 90 199); do
        [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ] || break
    done
    Xvfb ":$display" -screen 0 "1920x1080x$depth" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PIDS+=($!)
    for tries in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    FREE_DISPLAY=":$display"
}

# Starts one wineserver for the prefix in TREE (default: the x86_64 build tree), creating the
# prefix when it is missing, and the screens: "tests" (24 and 8 bits per pixel), "demo" (24 bits)
# or "own" (the user's DISPLAY, for clicking the boxes oneself). HOME points into TREE too: the
# prefix's Desktop links to it.
start_wine_session() {
    local tree=${1:-$BUILD/x86_64} screens=${2:-tests}
    export WINEPREFIX="$tree/wineprefix" HOME="$tree/home" WINEDEBUG=-all
    # A German locale of the build tree's own: Wine then speaks German and, unlike with a
    # locale the host lacks, can name files with umlauts.
    if [ ! -d "$tree/locale/de_DE.UTF-8" ]; then
        mkdir -p "$tree/locale"
        localedef -i de_DE -f UTF-8 "$tree/locale/de_DE.UTF-8" >/dev/null 2>&1
    fi
    export LOCPATH="$tree/locale"
    { export LC_ALL=de_DE.UTF-8; } 2>/dev/null
    # No debugger: a crashing test program ends at once instead of waiting in winedbg.
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;winedbg.exe=d"
    mkdir -p "$HOME"
    trap stop_wine_session EXIT
    if [ "$screens" != own ]; then
        start_xvfb 24
        export DISPLAY=$FREE_DISPLAY
    fi
    if [ "$screens" = tests ]; then
        # A second screen of 256 colours for the palette tests.
        start_xvfb 8
        export EIGHT_BIT_DISPLAY=$FREE_DISPLAY
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix in $WINEPREFIX"
        # No Mono or Gecko: their installers would ask, and nothing here needs them.
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mscoree=;mshtml=" "$WINE" wineboot -i >/dev/null 2>&1
        "$WINESERVER" -w
    fi
    "$WINESERVER" -p
    # The first program of a session starts Wine's services, which outlive it and keep its
    # standard handles: started here, they hold /dev/null instead of a test runner's pipes.
    # Unmanaged windows: with no window manager on Xvfb, Wine would wait about two seconds for
    # one whenever a window (a message box, say) is destroyed.
    [ "$screens" = own ] ||
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    "$WINE" wineboot </dev/null >/dev/null 2>&1
}

stop_wine_session() {
    "$WINESERVER" -k 2>/dev/null
    [ ${#XVFB_PIDS[@]} -eq 0 ] || kill "${XVFB_PIDS[@]}" 2>/dev/null
    XVFB_PIDS=()
}
