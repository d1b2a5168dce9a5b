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

# The gauge simulator's pseudo-terminal as the COM port $2 of the prefix in
# $WINEPREFIX: Wine links dosdevices\comN to it and lists it under
# HARDWARE\DEVICEMAP\SERIALCOMM when it starts. $1 is a work folder; the
# simulator reads commands written to file descriptor 3 and writes what it
# reports to $1/gauge.out. Sets sim_pid.
link_gauge() {
    local work=$1 port=$2 sim=$3
    mkfifo "$work/gauge.in"
    "$sim" --link "$work/gauge-link" <"$work/gauge.in" >"$work/gauge.out" 2>&1 &
    sim_pid=$!
    exec 3>"$work/gauge.in"
    within 10 '[[ -L "$work/gauge-link" ]]' || return 1
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n"%s"="%s"\r\n' \
        "$port" "$work/gauge-link" >"$work/ports.reg"
    "$wine" reg import "$(zpath "$work/ports.reg")" >/dev/null 2>&1 || return 1
    "$wineserver" -w # the ports are mapped when Wine starts again
    within 60 '"$wine" reg query "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM" 2>/dev/null | grep -q "$port"' ||
        return 1
    [[ "$(readlink "$WINEPREFIX/dosdevices/${port,,}")" == "$work/gauge-link" ]]
}
