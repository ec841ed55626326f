#!/bin/bash
# Times SIGTERM to exit of the real program with each of its modal windows open, on a virtual
# screen (Xvfb and openbox), opening every window as a user would, by keys and menus.
#
#   scripts/sigterm-timing.sh [PROGRAM] [RUNS]
#
# PROGRAM defaults to build-test/src/app/lectorix; it is copied into a temporary folder, so its
# settings file (beside it) and HOME are the script's own. Prints one line a window:
# "<window>: <seconds>…" (one figure a run; "did-not-open", or "still-running" after 10 s).
set -u
program=$(realpath "${1:-build-test/src/app/lectorix}")
runs=${2:-3}
work=$(mktemp -d /tmp/lectorix-sigterm.XXXXXX)
trap 'kill $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
cp "$program" "$(dirname "$program")"/lectorix-*.so "$work/"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_CONFIG_HOME"
export DISPLAY=:${LECTORIX_DISPLAY:-77}
Xvfb "$DISPLAY" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
openbox >/dev/null 2>&1 &
wm=$!
sleep 1

ini=$work/lectorix.ini
story=$work/story.txt
for i in $(seq 400); do
    echo "Жили-были старик со старухой у самого синего моря; старик ловил неводом рыбу."
done >"$story"
# A zip (bzip2, slow to unpack) of a text large enough that its load shows the progress
# window for a few seconds.
for i in $(seq 40); do cat "$story"; done >"$work/big.txt"
for i in $(seq 26); do cat "$work/big.txt"; done >"$work/bigger.txt"
(cd "$work" && python3 -c "
import zipfile; zipfile.ZipFile('big.zip', 'w', zipfile.ZIP_BZIP2).write('bigger.txt')")

# Settings for a page read in about a second, and one bookmark of the story.
fast_settings() {
    printf '[UserSetting]\r\nRxSpinEditSpeedWords_Value=30000\r\nRxSpinEditBeginSleep_Value=10\r\n'
}
bookmark_settings() {
    printf '[Расщитанные параметры.ListBoxZakladka_Items]\r\nCount=1\r\n'
    printf 'Item0=Страница 2|story.txt|%s|-100|0|0|0|0|0|0|0|2|0|0|900|0|0|0|0|0|0|0|0|0.005|0.025|0|\r\n' "$story"
}

# Waits (up to 15 s) for a visible window whose name starts with $1; prints its id.
wait_window() {
    for _ in $(seq 150); do
        local id
        id=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null | head -1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# The main window of process $1: its widest visible window, once it is wider than the splash.
main_window() {
    for _ in $(seq 150); do
        for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
            if [ "${WIDTH:-0}" -gt 800 ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Opens menu number $1 (0 = "Текст") of the main window $2, then presses the keys $3...
menu() {
    local index=$1 window=$2
    shift 2
    xdotool mousemove --window "$window" 20 10 click 1
    sleep 0.5
    for _ in $(seq "$index"); do xdotool key Right; sleep 0.1; done
    for key in "$@"; do xdotool key "$key"; sleep 0.1; done
}

# run <window title> <settings: empty|fast|bookmark|damaged> <argument or ""> <how to open>
#     [<what to call the case>]
run() {
    local title=$1 settings=$2 argument=$3 open=$4 label=${5:-$1} figures=""
    for _ in $(seq "$runs"); do
        rm -f "$ini" "$ini".damaged "$ini".lock
        case $settings in
            fast) fast_settings | iconv -f UTF-8 -t CP1251 >"$ini" ;;
            bookmark) bookmark_settings | iconv -f UTF-8 -t CP1251 >"$ini" ;;
            damaged) head -c 4096 /dev/urandom >"$ini" ;;
            *) : >"$ini" ;;
        esac
        (cd "$work" && exec ./lectorix ${argument:+"$argument"} >/dev/null 2>&1) &
        local pid=$!
        local main
        if [ "$open" != start ]; then
            main=$(main_window $pid) || { figures+=" no-window"; kill -9 $pid; wait $pid 2>/dev/null; continue; }
            sleep 1
            xdotool windowactivate --sync "$main" 2>/dev/null
            eval "$open"
        fi
        if ! wait_window "$title" >/dev/null; then
            figures+=" did-not-open"
            kill -9 $pid
            wait $pid 2>/dev/null
            continue
        fi
        sleep 0.5
        local start end
        start=$(date +%s.%N)
        kill -TERM $pid
        for _ in $(seq 500); do kill -0 $pid 2>/dev/null || break; sleep 0.02; done
        end=$(date +%s.%N)
        if kill -0 $pid 2>/dev/null; then
            figures+=" still-running"
            kill -9 $pid
        else
            figures+=" $(awk "BEGIN { printf \"%.2f\", $end - $start }")"
        fi
        wait $pid 2>/dev/null
    done
    echo "$label:$figures"
}

run "Lectorix" damaged "" start
run "Закладка" bookmark "" start
run "Сохранение" fast "$story" 'xdotool key Return; sleep 4; xdotool key Escape; sleep 0.3; xdotool key alt+F4'
run "Открыть" empty "$story" 'xdotool key ctrl+o'
run "Сохранить как" empty "$story" 'menu 0 "$main" Down Down Down Return'
run "Переход к странице" empty "$story" 'xdotool key ctrl+g'
run "Поиск" empty "$story" 'xdotool key ctrl+f'
run "Свойства" empty "$story" 'menu 4 "$main" Down Return'
run "Статистика" empty "$story" 'menu 1 "$main" Up Return'
run "О программе" empty "$story" 'menu 5 "$main" Up Return'
run "Загрузка книги" empty "$work/big.zip" start
run "Переход к странице" empty "$story" \
    'xdotool key F1; sleep 1.5; xdotool windowactivate --sync "$main"; sleep 0.3; xdotool key ctrl+g' \
    "Переход к странице, the help window open"
