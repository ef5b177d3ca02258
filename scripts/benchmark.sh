#!/usr/bin/env bash
# Prints the shipped program's size and imports, the time of one whole uninstallation under
# Wine next to the time of a trivial boxed program (both answered at once by the box driver,
# measured alternately), and the layout module's time on the largest state its tables admit
# next to bare registry reads. The shipped i686 build is measured as it runs on 64-bit Windows
# (WOW64), the x86_64 build beside it.
#
#   bash scripts/benchmark.sh [ROUNDS]     (default 5 rounds of each)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
rounds=${1:-5}
PACKAGES+=(procps)
install_missing
build_both >/dev/null
targets=(i686 x86_64)
can_run_32bit || targets=(x86_64)

program="$BUILD/i686/bin/Uninstall_Pelmoradrv.exe"
echo "Shipped program: $(stat -c %s "$program") bytes; imports:" \
    $(i686-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p')

bench="$BUILD/bench"
rm -rf "$bench/wineprefix" "$bench/home"
mkdir -p "$bench"
start_wine_session "$bench" demo >/dev/null
windows_path() { echo "Z:${1//\//\\}"; }
"$WINE" reg add 'HKLM\System\CurrentControlSet\Control\Keyboard Layouts\00000407' /v 'Layout File' /d KBDGR.DLL /f >/dev/null
"$WINE" reg add 'HKCU\Keyboard Layout\Preload' /v 2 /d 00000409 /f >/dev/null

now() { date +%s.%N; }
since() { LC_ALL=C awk -v start="$1" -v end="$(now)" 'BEGIN { printf "%.3f\n", end - start }'; }
median() { LC_ALL=C sort -g | LC_ALL=C awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
records="$(windows_path "$bench/boxes.txt")"

uninstall_once() {  # prints the seconds from starting the installed uninstaller to its copy's end
    local key start driver
    key=$("$WINE" "$bin/installer.exe" "$(windows_path "$bin/Uninstall_Pelmoradrv.exe")" | tr -d '\r')
    "$WINE" "$bin/boxdriver.exe" --out "$records" YES OK >/dev/null &
    driver=$!
    start=$(now)
    "$WINE" "$program_files\\Pelmora-Tastatur\\Uninstall_Pelmoradrv.exe" "$key"
    wait "$driver"
    while pgrep -f 'Temp.Uninstall_Pelmoradrv.exe' >/dev/null; do sleep 0.01; done
    since "$start"
}

trivial_once() {  # the same driver answering one box of a program that does nothing else
    local start driver
    "$WINE" "$bin/boxdriver.exe" --out "$records" OK >/dev/null &
    driver=$!
    start=$(now)
    "$WINE" "$bin/onebox.exe"
    wait "$driver"
    since "$start"
}

for target in "${targets[@]}"; do
    bin="$BUILD/$target/bin"
    program_files='C:\Program Files'
    [ "$target" = x86_64 ] || program_files='C:\Program Files (x86)'
    uninstall_times=()
    trivial_times=()
    for _ in $(seq "$rounds"); do
        uninstall_times+=("$(uninstall_once)")
        trivial_times+=("$(trivial_once)")
    done
    uninstall=$(printf '%s\n' "${uninstall_times[@]}" | median)
    trivial=$(printf '%s\n' "${trivial_times[@]}" | median)
    echo "== $target build"
    echo "Uninstallation (two processes, two boxes): median $uninstall s of ${uninstall_times[*]}"
    echo "Trivial boxed program (one process, one box): median $trivial s of ${trivial_times[*]}"
    echo "Ratio: $(LC_ALL=C awk -v a="$uninstall" -v b="$trivial" 'BEGIN { printf "%.2f\n", a / b }')"
    "$WINE" "$bin/layoutbench.exe" | tr -d '\r'
done
