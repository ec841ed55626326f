# Sourced by the whole-program measurements (memory.sh, startup.sh): a virtual screen of
# 1366 × 768 with openbox on DISPLAY, ended with the script's jobs, and the median of numbers
# read one a line.
start_virtual_screen() {
    export DISPLAY=$1
    Xvfb "$DISPLAY" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
    sleep 1
    openbox >/dev/null 2>&1 &
    sleep 1
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
