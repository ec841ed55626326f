#!/bin/bash
# Starts the real program on a virtual screen (Xvfb and openbox) with large or odd settings files
# beside it and prints, for each, the file's size, the time until the main window shows and the
# peak resident memory of the whole run (/usr/bin/time -v), the program being ended by SIGTERM
# a second after its window showed.
#
#   scripts/settings-memory.sh [PROGRAM]
#
# PROGRAM defaults to build-test/src/app/lectorix; it is copied into a temporary folder, so its
# settings file (beside it) and HOME are the script's own.
set -u
program=$(realpath "${1:-build-test/src/app/lectorix}")
work=$(mktemp -d /tmp/lectorix-settings.XXXXXX)
trap 'kill $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
cp "$program" "$(dirname "$program")"/lectorix-*.so "$work/"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_CONFIG_HOME"
export DISPLAY=:${LECTORIX_DISPLAY:-78}
Xvfb "$DISPLAY" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
openbox >/dev/null 2>&1 &
wm=$!
sleep 1

# The shapes, written by Python for speed: name and generator.
make() {
    python3 - "$1" "$2" <<'EOF'
import sys
name, path = sys.argv[1], sys.argv[2]
with open(path, 'w', newline='') as f:
    if name == 'empty':
        pass
    elif name == 'keys-100MB':  # one section of 1.4 million keys
        f.write('[UserSetting]\r\n')
        f.writelines(f'Key{i}=some value of the key number {i}\r\n' for i in range(2_300_000))
    elif name == 'sections-1M':  # a million sections of one key each, 14 MB
        f.writelines(f'[s{i:06d}]\nk=v\n' for i in range(1_000_000))
    elif name == 'repeats-16MB':  # one section opened again and again
        f.write('[UserSetting]\nk=v\n' * 900_000)
    elif name in ('sections-16MB', 'keys-16MB'):  # as many short distinct names as fit
        digits = '0123456789abcdefghijklmnopqrstuvwxyz'
        def base36(n):
            out = ''
            while True:
                n, r = divmod(n, 36)
                out = digits[r] + out
                if n == 0:
                    return out
        sections = name == 'sections-16MB'
        if not sections:
            f.write('[UserSetting]\n')
        size, n, lines = 14, 0, []
        while size < 16_000_000:
            line = f'[{base36(n)}]\n' if sections else f'{base36(n)}=\n'
            lines.append(line)
            size += len(line)
            n += 1
        f.writelines(lines)
EOF
}

# The main window: a visible window of the program wider than its splash.
main_window() {
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
        [ "${WIDTH:-0}" -gt 800 ] && return 0
    done
    return 1
}

for shape in empty keys-100MB sections-1M sections-16MB keys-16MB repeats-16MB; do
    make "$shape" "$work/lectorix.ini"
    size=$(stat -c %s "$work/lectorix.ini")
    rm -f "$work/lectorix.ini.damaged" "$work/time.txt"
    start=$(date +%s.%N)
    (cd "$work" && exec /usr/bin/time -v -o "$work/time.txt" ./lectorix >/dev/null 2>&1) &
    timer=$!
    pid=""
    shown="-"
    for _ in $(seq 1200); do  # two minutes at most
        [ -z "$pid" ] && pid=$(pgrep -P $timer -x lectorix)
        if [ -n "$pid" ] && main_window "$pid"; then
            shown=$(awk "BEGIN { printf \"%.2f\", $(date +%s.%N) - $start }")
            break
        fi
        sleep 0.1
    done
    sleep 1
    [ -n "$pid" ] && kill -TERM "$pid"
    for _ in $(seq 100); do kill -0 $timer 2>/dev/null || break; sleep 0.1; done
    if kill -0 $timer 2>/dev/null; then
        [ -n "$pid" ] && kill -9 "$pid"
        note=" (SIGTERM unheard, killed)"
    else
        note=""
    fi
    wait $timer 2>/dev/null
    rss=$(awk '/Maximum resident set size/ { printf "%.0f", $6 / 1024 }' "$work/time.txt")
    aside=$([ -e "$work/lectorix.ini.damaged" ] && echo ", set aside")
    echo "$shape: $((size / 1000000)) MB, window after ${shown} s, peak ${rss} MB$aside$note"
done
