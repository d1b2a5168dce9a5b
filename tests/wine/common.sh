# Shell helpers for the tests under Wine (sourced by scripts/test-windows and
# tests/wine/installer-e2e).

wine="${WINE:-$(command -v wine || echo /usr/lib/wine/wine64)}"
wineserver="${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver64)}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"

# Waits up to $1 seconds for a command to succeed; the command is evaluated
# anew each time.
within() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    until eval "$*"; do
        ((SECONDS < end)) || return 1
        sleep 0.2
    done
}

# A Windows path on Wine's Z: drive for a Linux path.
zpath() { echo "Z:${1//\//\\}"; }

# Starts an X server on the first free display from 90 on: sets DISPLAY and
# xvfb_pid.
start_display() {
    local d
    for d in $(seq 90 199); do
        [[ -e "/tmp/.X$d-lock" || -e "/tmp/.X11-unix/X$d" ]] && continue
        Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$d"
        within 20 '[[ -e /tmp/.X11-unix/X'"$d"' ]]' && return 0
        kill "$xvfb_pid" 2>/dev/null
    done
    return 1
}

# Makes the COM port $1 of the prefix in $WINEPREFIX lead to the path $2 (a
# pseudo-terminal, or a link that will lead to one): Wine links
# dosdevices\comN to it and lists it under HARDWARE\DEVICEMAP\SERIALCOMM when
# it starts again. $3 is a work folder.
link_port() {
    local port=$1 path=$2 work=$3
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n"%s"="%s"\r\n' \
        "$port" "$path" >"$work/ports.reg"
    "$wine" reg import "$(zpath "$work/ports.reg")" >/dev/null 2>&1 || return 1
    "$wineserver" -w # the ports are mapped when Wine starts again
    within 60 '"$wine" reg query "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM" 2>/dev/null | grep -q "$port"' ||
        return 1
    [[ "$(readlink "$WINEPREFIX/dosdevices/${port,,}")" == "$path" ]]
}

# Starts the gauge simulator $2 on a new pseudo-terminal behind the link
# $1/gauge-link; it reads commands written to file descriptor 3 and writes
# what it reports to $1/gauge.out. Sets sim_pid.
start_gauge() {
    local work=$1 sim=$2
    rm -f "$work/gauge.in"
    mkfifo "$work/gauge.in"
    "$sim" --link "$work/gauge-link" <"$work/gauge.in" >"$work/gauge.out" 2>&1 &
    sim_pid=$!
    exec 3>"$work/gauge.in"
    within 10 '[[ -L "$work/gauge-link" ]]'
}

# The gauge simulator $3 as the COM port $2 of the prefix in $WINEPREFIX (see
# start_gauge; $1 is a work folder).
link_gauge() {
    local work=$1 port=$2 sim=$3
    start_gauge "$work" "$sim" || return 1
    link_port "$port" "$work/gauge-link" "$work"
}

# The simulator carries out the commands given, one an argument; waits until
# it has confirmed each (one line each in gauge.out).
to_gauge() {
    local before n=$#
    before="$(wc -l <"$work/gauge.out")"
    printf '%s\n' "$@" >&3
    within 30 '(($(wc -l <"$work/gauge.out") >= before + n))'
}

# The process id of the Windows program named $1 (its first 15 characters)
# in the prefix in $WINEPREFIX.
windows_pid() {
    local pid
    for pid in $(pgrep -x "${1:0:15}"); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
            return 0
        fi
    done
    return 1
}

# The share of one processor that process $1 used over the next $2 seconds,
# in percent with one decimal.
cpu_percent() {
    local pid=$1 seconds=$2 before after
    before="$(awk '{print $14 + $15}' "/proc/$pid/stat")"
    sleep "$seconds"
    after="$(awk '{print $14 + $15}' "/proc/$pid/stat")"
    awk -v t="$((after - before))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
        'BEGIN { printf "%.1f\n", 100 * t / hz / s }'
}
