# Shared by the project's scripts: installing what is missing, building both targets, and Wine
# sessions that live entirely inside the build trees. Source it; do not run it.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Where the build trees go; another folder keeps a second checkout's work apart.
BUILD=${BUILD_ROOT:-$ROOT/build}
# The 64-bit loader runs 64-bit programs and hands 32-bit ones to 32-bit Wine (WOW64); a prefix
# made as a 32-bit Windows needs the 32-bit loader itself.
WINE=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver
PACKAGES=(cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 wine32:i386 fonts-wine
          xvfb xauth googletest locales)

install_missing() {
    local missing=() package
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing ${#missing[@]} packages and what they need: ${missing[*]}"
    local sudo=() log
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    # 32-bit Wine comes from the i386 half of the archive.
    dpkg --print-foreign-architectures | grep -qx i386 || "${sudo[@]}" dpkg --add-architecture i386
    log=$(mktemp)
    if ! { "${sudo[@]}" apt-get update -q &&
           "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
               "${missing[@]}"; } >"$log" 2>&1; then
        tail -n 20 "$log"
        rm -f "$log"
        echo "Installing the packages failed." >&2
        return 1
    fi
    echo "Installed: $(grep -c '^Setting up ' "$log") packages."
    rm -f "$log"
}

# True when this machine runs 32-bit code: 32-bit Wine's loader is itself a 32-bit program.
# Says so in one line when it cannot.
RUNS_32BIT=
can_run_32bit() {
    if [ -z "$RUNS_32BIT" ]; then
        RUNS_32BIT=no
        "$WINE32" --version >/dev/null 2>&1 && RUNS_32BIT=yes
        [ "$RUNS_32BIT" = yes ] ||
            echo "This machine cannot run 32-bit programs: the shipped i686 build is not run, only the x86_64 build."
    fi
    [ "$RUNS_32BIT" = yes ]
}

# build/i686 holds the shipped program, build/x86_64 the same sources as a 64-bit program; both
# with their tests.
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

# Makes the prefix PREFIX ready with HOME in HOME_DIR: creates it when it is missing (as a 32-bit
# Windows with ARCH win32, as a 64-bit one otherwise) and starts its server and services. A
# 64-bit prefix made before 32-bit Wine was installed has no 32-bit half: it is made afresh.
OPEN_PREFIXES=()
open_prefix() {
    local prefix=$1 home=$2 arch=${3:-win64} loader=$WINE
    [ "$arch" = win32 ] && loader=$WINE32
    mkdir -p "$home"
    if [ "$arch" = win64 ] && [ -f "$prefix/system.reg" ] && [ ! -d "$prefix/drive_c/windows/syswow64" ] &&
        [ "$RUNS_32BIT" = yes ]; then
        WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null || true
        rm -rf "$prefix"
    fi
    if [ ! -f "$prefix/system.reg" ]; then
        echo "Creating the Wine prefix in $prefix"
        # No Mono or Gecko: their installers would ask, and nothing here needs them.
        WINEPREFIX=$prefix HOME=$home WINEARCH=$arch WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mscoree=;mshtml=" \
            "$loader" wineboot -i >/dev/null 2>&1
        WINEPREFIX=$prefix "$WINESERVER" -w
    fi
    # A test run that crashed may have left a deletion at the next start (of a test program, say)
    # and the DPI of its scaled run: both would act as Wine starts, before any test could undo them.
    WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null || true
    if [ -f "$prefix/system.reg" ]; then
        awk 'skip { skip = /\\$/; next } /^"PendingFileRenameOperations"=/ { skip = /\\$/; next } 1' \
            "$prefix/system.reg" >"$prefix/system.reg.new" && mv "$prefix/system.reg.new" "$prefix/system.reg"
        sed -i 's/^"LogPixels"=dword:00000090$/"LogPixels"=dword:00000060/' "$prefix/user.reg"
    fi
    # Wine finds no Marlett among fonts-wine's files and would draw the title-bar buttons as the
    # letters "0 1 r"; in the prefix's own font folder it is found.
    [ -f "$prefix/drive_c/windows/Fonts/marlett.ttf" ] ||
        cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
    WINEPREFIX=$prefix "$WINESERVER" -p
    OPEN_PREFIXES+=("$prefix")
    # Unmanaged windows: with no window manager on Xvfb, Wine would wait about two seconds for
    # one whenever a window (a message box, say) is destroyed. Then the first program of a
    # session starts Wine's services, which outlive it and keep its standard handles: started
    # here, they hold /dev/null instead of a test runner's pipes.
    [ "$SCREENS" = own ] ||
        WINEPREFIX=$prefix HOME=$home "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            </dev/null >/dev/null 2>&1
    WINEPREFIX=$prefix HOME=$home "$loader" wineboot </dev/null >/dev/null 2>&1
}

# A German locale of the build tree's own: Wine then speaks German and, unlike with a locale
# the host lacks, can name files with umlauts.
make_locale() {
    [ -d "$1/locale/de_DE.UTF-8" ] && return 0
    mkdir -p "$1/locale"
    localedef -i de_DE -f UTF-8 "$1/locale/de_DE.UTF-8" >/dev/null 2>&1
}

# Starts the screens and opens Wine prefixes; the last one opened stays in WINEPREFIX and HOME.
#   start_wine_session                 the tests' prefixes: the x86_64 tree's, and where 32-bit
#                                      programs run the i686 tree's (64-bit Windows) and its
#                                      wineprefix32 (32-bit Windows)
#   start_wine_session TREE SCREENS    the prefix of TREE alone (a demonstration's)
# SCREENS: "tests" or "demo" (a screen of 24 bits per pixel), or "own" (the user's DISPLAY, for
# clicking the boxes oneself).
SCREENS=tests
start_wine_session() {
    local tree=${1:-} trees=()
    SCREENS=${2:-tests}
    export WINEDEBUG=-all
    { export LC_ALL=de_DE.UTF-8; } 2>/dev/null
    # No debugger: a crashing test program ends at once instead of waiting in winedbg.
    export WINEDLLOVERRIDES="winemenubuilder.exe,winedbg.exe=d"
    trap stop_wine_session EXIT
    if [ "$SCREENS" != own ]; then
        start_xvfb 24
        export DISPLAY=$FREE_DISPLAY
    fi
    if [ -n "$tree" ]; then
        trees=("$tree")
    else
        trees=("$BUILD/x86_64")
        if can_run_32bit; then
            make_locale "$BUILD/i686"
            export LOCPATH="$BUILD/i686/locale"
            open_prefix "$BUILD/i686/wineprefix32" "$BUILD/i686/home32" win32
            trees+=("$BUILD/i686")
        fi
    fi
    for tree in "${trees[@]}"; do
        make_locale "$tree"
        export LOCPATH="$tree/locale" WINEPREFIX="$tree/wineprefix" HOME="$tree/home"
        open_prefix "$WINEPREFIX" "$HOME"
    done
}

stop_wine_session() {
    local prefix
    for prefix in "${OPEN_PREFIXES[@]}"; do
        WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null
    done
    OPEN_PREFIXES=()
    [ ${#XVFB_PIDS[@]} -eq 0 ] || kill "${XVFB_PIDS[@]}" 2>/dev/null
    XVFB_PIDS=()
}
