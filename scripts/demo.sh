#!/usr/bin/env bash
# Sets up, builds, and runs the main job: a whole automatic update of the simulated modules
# (module 0 and three cylinder modules on the M-Bus of a private virtual CAN bus), with the
# program installed in a working folder beside its configuration and load files, in a
# virtual display. The engineer's confirmations are clicks on the update window's buttons.
# Ends with exit code 0 exactly when the update report says the software is updated and
# every module's simulated flash holds the application of the load file byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--in-display" ]; then
  bash scripts/setup.sh
  bash scripts/build.sh
  exec xvfb-run -a -s "-screen 0 1600x900x24" bash "$0" --in-display
fi

out=build/demo
work="$out/work"
rm -rf "$out" && mkdir -p "$out"
export QT_LOGGING_RULES="qt.canbus*=false"

# A loopback port that nothing listens on.
port=$((20000 + RANDOM % 40000))
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((20000 + RANDOM % 40000)); done
bus="tcp://127.0.0.1:$port/can0"
site=(--bus "$bus" --profile mbus --cylinders 3)

# The modules, from the same site description as the configuration; their flash is kept
# in a folder, so that it can be read back afterwards.
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

# The site's folder: configuration database, load files, and the program itself, which
# finds its configuration beside it and writes its report there.
build/sim/config/pxm-sim-config --dir "$work" "${site[@]}"
cp build/src/app/pxmloader "$work/pxmloader"

echo "pxmloader: $work/pxmloader (update mode)"
# A temporary folder of its own: the refusal of a second instance takes no notice of
# other runs of the tool on the same machine.
mkdir -p "$out/tmp"
TMPDIR="$PWD/$out/tmp" "$work/pxmloader" >"$out/pxmloader.log" 2>&1 &
loader=$!
win=""
for _ in $(seq 100); do
  win=$(xdotool search --name "^KELB-3817 Update Tool" 2>/dev/null | head -1) && [ -n "$win" ] && break
  kill -0 "$loader" 2>/dev/null || break
  sleep 0.1
done
[ -n "$win" ] || { echo "demo: no main window"; cat "$out/pxmloader.log"; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
echo "pxmloader: main window \"$(xdotool getwindowname "$win")\", ${WIDTH}x${HEIGHT}"

# The update window fills the right-hand 600 pixels of the 572 pixels high client area at
# the window's bottom; its OK and exit buttons lie in its frame at (2640 + 3840, 60 + 3960)
# and (2640 + 5040, 60 + 3960) twips, 1080 x 420 twips each, at 15 twips a pixel.
left=$((WIDTH - 600)) top=$((HEIGHT - 572))
okX=$((left + 432)) exitX=$((left + 512)) buttonY=$((top + 268)) buttonW=72 buttonH=28
shot="$out/window.png"
# A button is shown when its area is not plain: its frame and caption are drawn there.
shown() {
  local sd
  sd=$(convert "$shot" -crop "${buttonW}x${buttonH}+$1+$buttonY" +repage -colorspace Gray -format "%[fx:standard_deviation]" info: 2>/dev/null || echo 0)
  awk -v s="$sd" 'BEGIN { exit !(s > 0.02) }'
}
click() { xdotool mousemove --window "$win" $(($1 + buttonW / 2)) $((buttonY + buttonH / 2)) click 1; }

# The engineer: reads each prompt, confirms it with OK while OK is offered (start, update,
# go on), and leaves with the exit button when only that is offered (the end of the run).
prompts=0
for _ in $(seq 1200); do
  kill -0 "$loader" 2>/dev/null || break
  sleep 0.5
  import -window "$win" "$shot" 2>/dev/null || continue
  if shown "$okX"; then
    prompts=$((prompts + 1))
    cp "$shot" "$out/prompt-$prompts.png"
    echo "engineer: confirms prompt $prompts with OK (screenshot $out/prompt-$prompts.png)"
    click "$okX"
    sleep 1
  elif shown "$exitX"; then
    cp "$shot" "$out/frmMain.png"
    echo "engineer: leaves the update window with its exit button (screenshot $out/frmMain.png)"
    click "$exitX"
    for _ in $(seq 100); do kill -0 "$loader" 2>/dev/null || break; sleep 0.1; done
  fi
done
if kill -0 "$loader" 2>/dev/null; then
  import -window "$win" "$out/frmMain.png" 2>/dev/null || true
  echo "demo: the update did not end (screenshot $out/frmMain.png)"
  exit 1
fi
rc=0
wait "$loader" || rc=$?
loader=""
echo "pxmloader: ended, exit code $rc"
grep -v "XDG_RUNTIME_DIR" "$out/pxmloader.log" | sed 's/^/pxmloader: /' || true

kill -TERM "$sim"
simRc=0
wait "$sim" || simRc=$?
echo "pxm-sim: stopped, exit code $simRc"

# What the modules hold now: every module's application section against the load file's
# data, byte for byte (the S2 records' data in hexadecimal).
applFile="$work/PXM_application.s19"
expected=$(sed -n 's/^S2[0-9A-F]\{2\}[0-9A-F]\{6\}\([0-9A-F]*\)[0-9A-F]\{2\}\r\{0,1\}$/\1/p' "$applFile" | tr -d '\n' | tr 'A-F' 'a-f')
flashOk=1
for m in 00 01 02 03; do
  bin="$out/sim-state/module$m/section6.bin"
  if [ -f "$bin" ] && [ "$(od -An -v -tx1 "$bin" | tr -d ' \n')" = "$expected" ]; then
    echo "pxm-sim: PXM #$m holds the application of $(basename "$applFile") byte for byte"
  else
    echo "pxm-sim: PXM #$m does NOT hold the application of $(basename "$applFile")"
    flashOk=0
  fi
done

report="$work/KELB-3817 Update Tool Report.txt"
if [ ! -f "$report" ]; then
  echo "demo: no update report was written"
  exit 1
fi
echo "report: $PWD/$report"
# The block of this run: from its last "started" line on.
block=$(tr -d '\r' <"$report" | awk '/KELB-3817 Update Tool started/ { b = "" } { b = b $0 "\n" } END { printf "%s", b }')
printf '%s\n' "$block" | sed 's/^/report: /'
if printf '%s\n' "$block" | grep -qx "KELB-3817 Software is successfully updated." && [ "$flashOk" = 1 ]; then
  echo "demo: KELB-3817 Software is successfully updated."
  exit 0
fi
echo "demo: the update did not succeed"
exit 1
