#!/bin/sh
# Cue lateness measured outside the console: kelvane-bussim serves the demo rig on
# pseudo-terminals and records every frame with its own clock; kelvanectl plays a script of
# isolated cues off the 25 ms tick grid on it, optionally with CPU-bound processes running;
# outside_lateness.py reads the lateness of each fire frame from the emulator's record.
#
# usage: outside_lateness.sh [--build DIR] [--hogs N] [--runs N] [--cues N] [--no-rt] [--keep DIR]
#   --build DIR  the build folder (default build/default)
#   --hogs N     CPU-bound processes running during the show (default 0)
#   --runs N     shows in a row (default 1)
#   --cues N     cues in the script, 333 ms apart from 1.007 s (default 60)
#   --no-rt      the console gets no real-time scheduling (default: the soft limits of the
#                packaged limits.d file, rtprio 10 and memlock unlimited, where allowed)
#   --keep DIR   keep each run's traffic, output and log there
#
# The emulator itself runs at SCHED_FIFO 20 when allowed, above the console's firing threads,
# so that what is measured is the console and not the emulator waiting for a core.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build/default"
hogs=0
runs=1
cues=60
rt=1
keep=""
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --hogs) hogs=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --cues) cues=$2; shift 2 ;;
        --no-rt) rt=0; shift ;;
        --keep) keep=$2; shift 2 ;;
        *) echo "outside_lateness.sh: unknown option $1" >&2; exit 2 ;;
    esac
done

bussim="$build/apps/kelvane-bussim/kelvane-bussim"
ctl="$build/apps/kelvanectl/kelvanectl"
for b in "$bussim" "$ctl"; do
    [ -x "$b" ] || { echo "outside_lateness.sh: $b not built" >&2; exit 2; }
done

work=$(mktemp -d)
simpid=""
hogpids=""
cleanup() {
    for p in $hogpids; do kill "$p" 2>/dev/null || true; done
    [ -n "$simpid" ] && kill "$simpid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Isolated cues 333 ms apart, 7 ms off the tick grid, on module 3's sixteen channels.
i=0
: > "$work/show.txt"
while [ "$i" -lt "$cues" ]; do
    ms=$((1007 + i * 333))
    printf '%d.%03d 3 %d\n' $((ms / 1000)) $((ms % 1000)) $((i % 16 + 1)) >> "$work/show.txt"
    i=$((i + 1))
done

rtprefix=""
if chrt -f 20 true 2>/dev/null; then
    rtprefix="chrt -f 20"
else
    echo "outside_lateness.sh: the emulator runs without real-time priority (not allowed)" >&2
fi
ctlprefix=""
if [ "$rt" = 1 ]; then
    ctlprefix="prlimit --rtprio=10 --memlock=unlimited"
    $ctlprefix true 2>/dev/null || ctlprefix=""
else
    ctlprefix="prlimit --rtprio=0"
fi

run=1
while [ "$run" -le "$runs" ]; do
    traffic="$work/traffic$run.txt"
    $rtprefix "$bussim" --traffic "$traffic" "$root/rigs/demo.rig" > "$work/sim.out$run" 2>"$work/sim.err$run" &
    simpid=$!
    tries=0
    until grep -q '^ready' "$work/sim.out$run" 2>/dev/null; do
        tries=$((tries + 1))
        [ "$tries" -lt 100 ] || { echo "outside_lateness.sh: the emulator did not start" >&2; cat "$work/sim.err$run" >&2; exit 1; }
        sleep 0.1
    done
    ports=$(awk '$1 == "converter" { printf " --port %s", $3 }' "$work/sim.out$run")
    h=0
    hogpids=""
    while [ "$h" -lt "$hogs" ]; do
        yes > /dev/null &
        hogpids="$hogpids $!"
        h=$((h + 1))
    done
    # shellcheck disable=SC2086
    $ctlprefix "$ctl" $ports --config-dir "$work/cfg$run" --log-dir "$work/logs$run" \
        play "$work/show.txt" --arm > "$work/play$run.out" 2> "$work/play$run.err" || true
    for p in $hogpids; do kill "$p" 2>/dev/null || true; done
    hogpids=""
    kill "$simpid" 2>/dev/null || true
    wait "$simpid" 2>/dev/null || true
    simpid=""
    grep -h "^kelvanectl: " "$work/play$run.err" | head -1 || true
    printf 'run %d, %d hogs: ' "$run" "$hogs"
    python3 "$here/outside_lateness.py" "$traffic" "$work/show.txt" || true
    grep -h "not sent\|show ended" "$work/play$run.out" || true
    if [ -n "$keep" ]; then
        mkdir -p "$keep"
        cp "$traffic" "$work/play$run.out" "$work/play$run.err" "$keep/" 2>/dev/null || true
        cp "$work/show.txt" "$keep/"
    fi
    run=$((run + 1))
done
