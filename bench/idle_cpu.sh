#!/usr/bin/env bash
# CPU used by keysynth while it plays and nobody types: no-sound output, a
# window on a private X display, 3 s of idling measured from /proc.
# Usage: bench/idle_cpu.sh [path/to/keysynth]   (exit 1 above 5% of a core)
set -euo pipefail
bin=${1:-build/app/keysynth}
tmp=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

Xvfb -displayfd 4 -screen 0 1024x1024x24 -nolisten tcp 4>"$tmp/display" 2>/dev/null &
pids+=("$!")
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$tmp/display")

mkfifo "$tmp/keys"
env -u TERM SDL_RENDER_DRIVER=software "$bin" <"$tmp/keys" >"$tmp/out" 2>&1 &
pid=$!
pids+=("$pid")
exec 5>"$tmp/keys"
printf '41' >&5
for _ in $(seq 200); do grep -q foireuxmaismarche "$tmp/out" && break; sleep 0.05; done
sleep 0.5

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks "$pid"); s0=$(date +%s.%N)
sleep 3
t1=$(ticks "$pid"); s1=$(date +%s.%N)
printf '.' >&5
wait "$pid" || true

awk -v t="$((t1 - t0))" -v hz="$hz" -v s0="$s0" -v s1="$s1" 'BEGIN {
    pct = 100 * t / hz / (s1 - s0)
    printf "keysynth idle CPU: %.2f%% of a core over %.2f s\n", pct, s1 - s0
    exit pct < 5 ? 0 : 1 }'
