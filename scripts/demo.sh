#!/usr/bin/env bash
# Sets up, builds, and runs the main job: the simulated modules on a private virtual CAN
# bus, a working folder configured for them, and the tool's start-up on that folder in a
# virtual display. Leaves a screenshot of the main window in build/demo/frmMain.png.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--in-display" ]; then
  bash scripts/setup.sh
  bash scripts/build.sh
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --in-display
fi

out=build/demo
rm -rf "$out" && mkdir -p "$out"
export QT_LOGGING_RULES="qt.canbus*=false"

# A loopback port that nothing listens on.
port=$((20000 + RANDOM % 40000))
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((20000 + RANDOM % 40000)); done
bus="tcp://127.0.0.1:$port/can0"
site=(--bus "$bus" --profile mbus --cylinders 3)

# The modules, from the same site description as the configuration.
mapfile -t simArgs < <(build/sim/config/pxm-sim-config --sim-args "${site[@]}")
build/sim/app/pxm-sim "${simArgs[@]}" --state "$out/sim-state" >"$out/pxm-sim.log" 2>&1 &
sim=$!
loader=""
cleanup() {
  [ -n "$loader" ] && kill "$loader" 2>/dev/null || true
  kill "$sim" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do grep -q "pxm-sim: on" "$out/pxm-sim.log" && break; sleep 0.1; done
grep "pxm-sim: on" "$out/pxm-sim.log" || { echo "demo: the simulator did not reach the bus"; cat "$out/pxm-sim.log"; exit 1; }

# The working folder: configuration database and load files.
build/sim/config/pxm-sim-config --dir "$out/work" "${site[@]}"

# The tool, in update mode on that folder.
echo "pxmloader: /db=$PWD/$out/work"
build/src/app/pxmloader "/db=$PWD/$out/work" >"$out/pxmloader.log" 2>&1 &
loader=$!
win=""
for _ in $(seq 100); do
  win=$(xdotool search --name "^KELB-3817 Update Tool" 2>/dev/null | head -1) && [ -n "$win" ] && break
  kill -0 "$loader" 2>/dev/null || break
  sleep 0.1
done
[ -n "$win" ] || { echo "demo: no main window"; cat "$out/pxmloader.log"; exit 1; }
sleep 3  # lets its start-up finish
eval "$(xdotool getwindowgeometry --shell "$win")"
echo "pxmloader: main window \"$(xdotool getwindowname "$win")\", ${WIDTH}x${HEIGHT}"
import -window "$win" "$out/frmMain.png"
echo "pxmloader: screenshot $out/frmMain.png"

# Closed as the engineer closes it: its Exit button, (9960 + 660, 1425 + 187) twips at 15
# twips a pixel in the 572 pixels high client area under the menu bar.
xdotool mousemove --window "$win" 708 $((HEIGHT - 572 + 107)) click 1
for _ in $(seq 100); do kill -0 "$loader" 2>/dev/null || break; sleep 0.1; done
kill -0 "$loader" 2>/dev/null && { echo "demo: pxmloader did not close"; cat "$out/pxmloader.log"; exit 1; }
rc=0
wait "$loader" || rc=$?
loader=""
echo "pxmloader: closed by its Exit button, exit code $rc"
grep -v "XDG_RUNTIME_DIR" "$out/pxmloader.log" | sed 's/^/pxmloader: /' || true

kill -TERM "$sim"
simRc=0
wait "$sim" || simRc=$?
echo "pxm-sim: stopped, exit code $simRc"
exit "$rc"
