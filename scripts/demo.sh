#!/usr/bin/env bash
# The whole story in a fresh, throwaway Wine prefix with a German user: install the product,
# show what is there, run the uninstall entry's command, answer the boxes as a user would (Yes),
# show what is left, and say whether everything was removed and nothing else touched.
#
#   bash scripts/demo.sh           under Xvfb; screenshots of the window and its boxes go to
#                                  build/demo/shots
#   bash scripts/demo.sh --click   on your own X display ($DISPLAY): you answer the boxes
#   --scale PERCENT                with either: the display scaled as in Windows' settings
#                                  (150: 144 DPI instead of 96)
#
# The prefix is a 64-bit Windows, and the shipped 32-bit program and the installer built with it
# run there as every 32-bit program does on Windows 10 and 11: under WOW64, with the DLL in the
# native System32 and in SysWOW64, the folder under Program Files (x86) and the uninstall entry
# in the 32-bit registry view. Where this machine cannot run 32-bit programs, the x86_64 build
# stands in.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
screens=demo
scale=100
while [ $# -gt 0 ]; do
    case $1 in
        --click)
            [ -n "${DISPLAY:-}" ] || { echo "--click needs an X display in DISPLAY" >&2; exit 64; }
            screens=own ;;
        --scale)
            [[ ${2:-} =~ ^[1-9][0-9][0-9]$ ]] || { echo "--scale needs a percentage from 100 to 999" >&2; exit 64; }
            scale=$2
            shift ;;
        *)
            echo "usage: bash scripts/demo.sh [--click] [--scale PERCENT]" >&2
            exit 64 ;;
    esac
    shift
done
PACKAGES+=(imagemagick procps xdotool)
install_missing
build_both

demo="$BUILD/demo"
bin="$BUILD/i686/bin"
program_files="Program Files (x86)"
view=(/reg:32)
if ! can_run_32bit; then
    bin="$BUILD/x86_64/bin"
    program_files="Program Files"
    view=()
fi
shots="$demo/shots"
rm -rf "$demo/wineprefix" "$demo/home" "$shots"
mkdir -p "$shots"
start_wine_session "$demo" "$screens"
# Wine gives every process started from now on this DPI, as Windows does after a new sign-in.
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $((96 * scale / 100)) /f >/dev/null

windows_path() { echo "Z:${1//\//\\}"; }
drive_c="$WINEPREFIX/drive_c"
desktop=$(readlink -f "$drive_c/users/$(id -un)/Desktop")
mkdir -p "$desktop"

values() {  # the values of a registry key, one "name = data" a line, or "(none)"
    local lines
    lines=$("$WINE" reg query "$1" "${view[@]}" 2>/dev/null | tr -d '\r' | sed -n 's/^ \{4\}\(.*\) \{4\}REG_[A-Z_]* \{4\}\(.*\)$/    \1 = \2/p' || true)
    echo "${lines:-    (none)}"
}

profile='HKCU\Control Panel\International\User Profile'
language_lists() {  # the user's languages (Windows 8 and later) and the input methods of each
    local language
    echo "  $profile:"; values "$profile"
    for language in $("$WINE" reg query "$profile" 2>/dev/null | tr -d '\r' |
        sed -n 's/^HKEY_CURRENT_USER\\.*\\User Profile\\//p'); do
        echo "  $profile\\$language:"; values "$profile\\$language"
    done
}

show() {
    echo "--- $1"
    echo "  HKCU\\Keyboard Layout\\Preload:"; values 'HKCU\Keyboard Layout\Preload'
    echo "  HKCU\\Keyboard Layout\\Substitutes:"; values 'HKCU\Keyboard Layout\Substitutes'
    language_lists
    echo "  Catalogue key $key:"; values "HKLM\\System\\CurrentControlSet\\Control\\Keyboard Layouts\\$key"
    echo "  Uninstall entry:"; values "$entry"
    echo "  Files:"
    for path in "$drive_c"/windows/system32/Pelmoradrv.DLL "$drive_c"/windows/syswow64/Pelmoradrv.DLL \
        "$drive_c/$program_files/Pelmora-Tastatur"/*; do
        [ -e "$path" ] && echo "    C:/${path#"$drive_c/"}"
    done
    for path in "$desktop"/*; do
        [ -e "$path" ] && echo "    Desktop/${path#"$desktop/"}"
    done
    true
}

entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tastaturbelegung Pelmora AltGrLinks (V3.04)'
# What every Windows has and Wine lacks: the standard German layout in the catalogue, and the
# language lists of Windows 8 and later, here German and English. Then the user's own things: a
# second layout and a file on the desktop.
"$WINE" reg add 'HKLM\System\CurrentControlSet\Control\Keyboard Layouts\00000407' /v 'Layout File' /d KBDGR.DLL /f >/dev/null
"$WINE" reg add "$profile" /v Languages /t REG_MULTI_SZ /d 'de-DE\0en-US' /f >/dev/null
"$WINE" reg add "$profile\\de-DE" /v CachedLanguageName /d '@Winlangdb.dll,-1110' /f >/dev/null
"$WINE" reg add "$profile\\de-DE" /v 0407:00000407 /t REG_DWORD /d 1 /f >/dev/null
"$WINE" reg add "$profile\\en-US" /v 0409:00000409 /t REG_DWORD /d 1 /f >/dev/null
"$WINE" reg add 'HKCU\Keyboard Layout\Preload' /v 2 /d 00000409 /f >/dev/null
echo "Einkaufsliste" >"$desktop/Einkaufsliste.txt"
before_layouts=$(values 'HKCU\Keyboard Layout\Preload')
before_languages=$(language_lists)

echo "Installing the product with tools/installer.exe"
key=$("$WINE" "$bin/installer.exe" "$(windows_path "$bin/Uninstall_Pelmoradrv.exe")" | tr -d '\r')
echo "Layout key: $key"
show "Installed"

command=$("$WINE" reg query "$entry" /v UninstallString "${view[@]}" | tr -d '\r' | sed -n 's/^.*REG_SZ *//p')
echo "--- Running the uninstall entry's command: $command"
if [ "$screens" = demo ]; then
    "$WINE" "$bin/boxdriver.exe" --out "$(windows_path "$shots/boxes.txt")" --timeout 60000 \
        --handshake "$(windows_path "$shots")" YES OK >/dev/null &
    driver=$!
fi
program=$(sed 's/^"\([^"]*\)".*$/\1/' <<<"$command")
"$WINE" "$program" ${command##*\" }
if [ "$screens" = demo ]; then
    # The screen is black but for the program's window and its box: trimming leaves just them.
    shot() {
        import -display "$DISPLAY" -window root png:- |
            convert - -trim +repage -bordercolor black -border 8 "$shots/$1.png"
    }
    for box in 1 2; do
        for _ in $(seq 600); do [ -e "$shots/box-$box.ready" ] && break; sleep 0.1; done
        sleep 0.5
        shot "box-$box"
        if [ "$box" = 2 ]; then
            # The window alone, its status line showing the last step: the box is moved off the
            # window for the moment of the shot.
            xdotool search --onlyvisible --name '^Uninstall_Pelmoradrv$' windowmove 0 0 >/dev/null
            sleep 0.5
            import -display "$DISPLAY" -window "$(xdotool search --onlyvisible --name 'Tastaturtreiber-Deinstallation$')" \
                "$shots/window.png"
        fi
        touch "$shots/box-$box.shot"
    done
    wait "$driver" || echo "The box driver reported a problem: see $shots/boxes.txt"
    rm -f "$shots"/*.ready "$shots"/*.shot
    sed 's/^/    /' "$shots/boxes.txt"
fi
# The copy in its folder in the temporary directory works on after the installed uninstaller
# has ended.
while pgrep -f 'Temp.Pelmora-[0-9A-F]{16}.Uninstall_Pelmoradrv.exe' >/dev/null; do sleep 0.2; done
show "After uninstalling"

problems=()
[ ! -e "$drive_c/windows/system32/Pelmoradrv.DLL" ] || problems+=("the driver DLL is still there")
[ ! -e "$drive_c/windows/syswow64/Pelmoradrv.DLL" ] || problems+=("the 32-bit copy of the driver DLL is still there")
[ ! -e "$drive_c/$program_files/Pelmora-Tastatur" ] || problems+=("the product folder is still there")
[ ! -e "$desktop/Tastaturbelegung Pelmora Schaubild.LNK" ] || problems+=("the desktop shortcut is still there")
[ -e "$desktop/Einkaufsliste.txt" ] || problems+=("the user's own desktop file is gone")
[ "$(values 'HKCU\Keyboard Layout\Preload')" = "$before_layouts" ] || problems+=("Preload differs from before")
[ "$(values 'HKCU\Keyboard Layout\Substitutes')" = "    (none)" ] || problems+=("Substitutes are left")
after_languages=$(language_lists)
grep -qi ":$key " <<<"$after_languages" && problems+=("the layout is still in a language list")
[ "$after_languages" = "$before_languages" ] || problems+=("the language lists differ from before")
"$WINE" reg query "HKLM\\System\\CurrentControlSet\\Control\\Keyboard Layouts\\$key" >/dev/null 2>&1 &&
    problems+=("the catalogue key is still there")
"$WINE" reg query "$entry" "${view[@]}" >/dev/null 2>&1 && problems+=("the uninstall entry is still there")

echo
if [ ${#problems[@]} -eq 0 ]; then
    echo "Result: everything the installer put there was removed, and nothing else was touched."
else
    printf 'Result: NOT clean: %s\n' "${problems[@]}"
fi
[ "$screens" = demo ] && echo "Screenshots of the window and its boxes: $shots"
[ ${#problems[@]} -eq 0 ]
