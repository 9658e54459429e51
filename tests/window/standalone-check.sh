#!/usr/bin/env bash
# Starts the standalone build under the current X server, waits until its window "Orvan" is
# mapped, lets it run for a moment and ends it with SIGTERM. Fails when the program does not
# show its window, dies by itself, or ends by anything but a clean exit or our SIGTERM.
# Usage (under xvfb-run -a): standalone-check.sh PATH-TO-STANDALONE
set -uo pipefail
app="$1"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

"$app" >"$log" 2>&1 &
pid=$!

shown=""
for _ in $(seq 1 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"; rc=$?
        echo "standalone-check: the program ended by itself (status $rc) before showing its window"
        cat "$log"
        exit 1
    fi
    if xwininfo -root -tree 2>/dev/null | grep -q '"Orvan"'; then
        shown=yes
        break
    fi
    sleep 0.1
done

if [ -z "$shown" ]; then
    echo "standalone-check: no window named Orvan after 10 s"
    kill -KILL "$pid" 2>/dev/null
    cat "$log"
    exit 1
fi

sleep 2
if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"; rc=$?
    echo "standalone-check: the program ended by itself (status $rc) while its window was open"
    cat "$log"
    exit 1
fi

kill -TERM "$pid"
wait "$pid"; rc=$?
# 0: it shut down on the signal; 143: the signal ended it (128 + SIGTERM).
if [ "$rc" -ne 0 ] && [ "$rc" -ne 143 ]; then
    echo "standalone-check: the program ended with status $rc after SIGTERM"
    cat "$log"
    exit 1
fi
echo "standalone-check: window shown, program ran and ended cleanly (status $rc)"
