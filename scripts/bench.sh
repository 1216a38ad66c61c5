#!/usr/bin/env bash
# Benchmark: Tarnbell against small reference programs (bench/), all in one
# run on this machine, so that each ratio compares figures taken under the
# same load. Start-up and memory are compared with a program that opens the
# same window and sound device (what any volume tool of this kind loads), and
# with one that opens an empty window. Prints a table; it is not a test and
# never fails on a figure.
# The 64-bit build runs under 64-bit Wine in a prefix of its own
# (build/wineprefix-bench); sizes are those of the shipped 32-bit files.
#
#   scripts/bench.sh            # about 7 minutes
#   BENCH_RUNS=10 BENCH_IDLE_SECONDS=30 BENCH_PRESSES=25 scripts/bench.sh
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${BENCH_RUNS:-10}
idle_seconds=${BENCH_IDLE_SECONDS:-30}
presses=${BENCH_PRESSES:-25}
out=$root/build/bench
run=$out/run
mkdir -p "$run"

step() { echo "bench: $*" >&2; }

step "building"
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j2 --target Tarnbell TarnMixer >/dev/null || exit 1
done
# The references are built like the program: same compiler, static, for size.
for program in empty_window minimal_poller hotkey_slider; do
  x86_64-w64-mingw32-g++-win32 -std=c++17 -Os -s -static -mwindows bench/$program.cpp \
    -o "$run/$program.exe" -lcomctl32 || exit 1
done
x86_64-w64-mingw32-windres -I build/win64/generated bench/volume_window.rc -O coff \
  -o "$out/volume_window.res" || exit 1
x86_64-w64-mingw32-g++-win32 -std=c++17 -Os -s -static -mwindows bench/volume_window.cpp \
  "$out/volume_window.res" -o "$run/volume_window.exe" -lole32 -lcomctl32 -lwinmm -luuid || exit 1
i686-w64-mingw32-g++-win32 -std=c++17 -Os -s -static -mwindows bench/empty_window.cpp \
  -o "$out/empty_window32.exe" || exit 1
x86_64-w64-mingw32-g++-win32 -std=c++17 -Os -s -static bench/benchdriver.cpp \
  -o "$run/benchdriver.exe" -lcomctl32 || exit 1
g++ -std=c++17 -Os -I. bench/poll_cost.cpp bench/key_state.cpp hotkeys/HotkeyBinding.cpp \
  hotkeys/HotkeyPoll.cpp -o "$out/poll_cost" || exit 1
cp build/win64/bin/Tarnbell.exe build/win64/bin/TarnMixer.dll "$run/"
rm -f "$run/TB.ini"

# ---- size of the shipped 32-bit files --------------------------------------
kb() { echo $(( ($1 + 1023) / 1024 )); }
shipped=$(( $(stat -c %s build/win32/bin/Tarnbell.exe) + $(stat -c %s build/win32/bin/TarnMixer.dll) ))
empty32=$(stat -c %s "$out/empty_window32.exe")

# ---- instructions per idle poll (native, callgrind) ------------------------
instructions() {  # MODE COUNT
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$out/poll_cost" "$1" "$2" 2>&1 |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
per_poll() {  # MODE
  local polls=100000 base full
  base=$(instructions "$1" 0)
  full=$(instructions "$1" $polls)
  echo "scale=1; ($full - $base) / $polls" | bc
}
step "instructions per idle poll"
poll_tarnbell=$(per_poll tarnbell)
poll_reference=$(per_poll reference)

# ---- Wine ----------------------------------------------------------------
export TARNBELL_WINEPREFIX=$root/build/wineprefix-bench
. scripts/wine-env.sh win64 >/dev/null
tarnbell_start_xvfb || exit 1
tarnbell_init_prefix
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
driver() { (cd "$run" && wine benchdriver.exe "$@" | tr -d '\r'); }
median_of() { sed -n 's/^median //p' "$1"; }

step "start-up, $runs runs each"
rm -f "$out"/start-*.txt
for round in 1 2; do
  driver start window BenchVolumeWindow volume_window.exe "$runs" >> "$out/start-volume.txt"
  driver start window BenchEmptyWindow empty_window.exe "$runs" >> "$out/start-empty.txt"
  driver start tray Tarnbell.exe "$runs" >> "$out/start-tarnbell.txt"
done
median_all() { grep -E '^[0-9.]+$' "$1" | sort -n | awk '{ v[NR] = $1 } END {
  if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
start_tarnbell=$(median_all "$out/start-tarnbell.txt")
start_empty=$(median_all "$out/start-empty.txt")
start_volume=$(median_all "$out/start-volume.txt")

# Starts a program of the run folder; the loader replaces the shell, so the
# job's process id is the program's own Unix process.
launch() {  # EXE
  (cd "$run" && exec wine "$1") &
  launched=$!
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
private_kb() { awk '/^Private_(Clean|Dirty):/ { s += $2 } END { print s }' "/proc/$1/smaps_rollup"; }

step "idle CPU over ${idle_seconds} s and private memory"
launch Tarnbell.exe; pid_tarnbell=$launched
launch minimal_poller.exe; pid_poller=$launched
launch empty_window.exe; pid_empty=$launched
launch volume_window.exe; pid_volume=$launched
sleep 5  # settled: in the tray, and past the first paint
t0=$(date +%s.%N); a0=$(cpu_ticks "$pid_tarnbell"); b0=$(cpu_ticks "$pid_poller")
sleep "$idle_seconds"
t1=$(date +%s.%N); a1=$(cpu_ticks "$pid_tarnbell"); b1=$(cpu_ticks "$pid_poller")
hz=$(getconf CLK_TCK)
cpu_tarnbell=$(echo "scale=2; 100 * ($a1 - $a0) / $hz / ($t1 - $t0)" | bc)
cpu_poller=$(echo "scale=2; 100 * ($b1 - $b0) / $hz / ($t1 - $t0)" | bc)
mem_tarnbell=$(private_kb "$pid_tarnbell")
mem_empty=$(private_kb "$pid_empty")
mem_volume=$(private_kb "$pid_volume")
kill "$pid_poller" "$pid_empty" "$pid_volume" 2>/dev/null

step "hotkey to slider, $presses presses each"
driver latency TfrmMain "$presses" 1 > "$out/latency-tarnbell.txt"
kill "$pid_tarnbell" 2>/dev/null
launch hotkey_slider.exe; pid_slider=$launched
sleep 2
driver latency BenchHotkeySlider "$presses" 1 > "$out/latency-reference.txt"
kill "$pid_slider" 2>/dev/null
wineserver -k 2>/dev/null
latency_tarnbell=$(median_of "$out/latency-tarnbell.txt")
latency_reference=$(median_of "$out/latency-reference.txt")

# ---- table ---------------------------------------------------------------
ratio() { if [[ "$1" =~ ^[0-9.]+$ && "$2" =~ ^[0-9.]+$ ]] && [ "$(echo "$2 > 0" | bc)" = 1 ]; then
  echo "scale=2; $1 / $2" | bc | sed 's/^\./0./'; else echo "-"; fi; }
echo
budget=307200  # 300 KB
mb() { echo "scale=1; $1 / 1024" | bc | sed 's/^\./0./'; }
echo "| Figure | Tarnbell | Reference in the same run | Ratio | Target | Empty window program, same run | Ratio |"
echo "|---|---|---|---|---|---|---|"
echo "| Tarnbell.exe + TarnMixer.dll, 32-bit | $(kb $shipped) KB | the budget: 300 KB | $(ratio "$shipped" $budget) | at most 1 | $(kb "$empty32") KB | - |"
echo "| start to tray icon, median of $((2 * runs)) | $start_tarnbell ms | the same window and sound device, shown: $start_volume ms | $(ratio "$start_tarnbell" "$start_volume") | at most 1.3 | shown: $start_empty ms | $(ratio "$start_tarnbell" "$start_empty") |"
echo "| instructions per idle poll (callgrind, native) | $poll_tarnbell | hand-written loop, same 3 keys: $poll_reference | $(ratio "$poll_tarnbell" "$poll_reference") | none | - | - |"
echo "| idle CPU over $idle_seconds s | $cpu_tarnbell % of a core | minimal poller: $cpu_poller % | $(ratio "$cpu_tarnbell" "$cpu_poller") | at most 1.05 | - | - |"
echo "| private memory (Linux, of the Wine process) | $(mb "$mem_tarnbell") MB | the same window and sound device: $(mb "$mem_volume") MB | $(ratio "$mem_tarnbell" "$mem_volume") | at most 1.3 | $(mb "$mem_empty") MB | $(ratio "$mem_tarnbell" "$mem_empty") |"
echo "| hotkey to slider, median of $presses | $latency_tarnbell ms | RegisterHotKey program: $latency_reference ms | $(ratio "$latency_tarnbell" "$latency_reference") | (Wine's key-state cache: up to 50 ms) | - | - |"
echo
echo "Raw figures: $out"
