#!/usr/bin/env bash
# Runs a command on a private, screenless X server: picks a free display number, starts Xvfb
# there (24-bit, large enough for any editor and its popups), exports DISPLAY, runs the
# command and stops the server again, whatever the command's outcome.
#
# Exits 77 (CTest's skip code, see SKIP_RETURN_CODE) with a visible reason when Xvfb is not
# installed; the README's test command installs it, so CI never skips.
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "SKIPPED: Xvfb is not installed (apt-get install xvfb); windowed tests need an X server"
    exit 77
fi
[ $# -ge 1 ] || { echo "usage: with-xvfb.sh COMMAND [ARG...]" >&2; exit 2; }

pid=""
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; }
trap cleanup EXIT INT TERM

# Several suites may run at once (ctest -j): try numbers until one server comes up.
for attempt in $(seq 1 40); do
    n=$(( 100 + (RANDOM % 800) ))
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X${n}" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X${n}" ]; then
        export DISPLAY=":$n"
        "$@"
        exit $?
    fi
    wait "$pid" 2>/dev/null
    pid=""
done
echo "with-xvfb.sh: could not start Xvfb on any display" >&2
exit 1
