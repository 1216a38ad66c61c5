#!/usr/bin/env bash
# Bounded fuzz run over the settings file's values and the step texts
# (tests/fuzz): builds the libFuzzer target with clang, ASan and UBSan in
# build/fuzz, then runs a fixed number of inputs from the seeds in
# tests/fuzz/seeds. Exits non-zero on a finding; the input that caused it is
# left in build/fuzz as crash-* (rerun: build/fuzz/settings_fuzz FILE).
# TARNBELL_FUZZ_RUNS and TARNBELL_FUZZ_SEED change the run's size and seed.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/fuzz
fuzzer=$out/settings_fuzz
sources=(tests/fuzz/Settings_fuzz.cpp settings/Settings.cpp volume/VolumeController.cpp
         hotkeys/HotkeyBinding.cpp)
runs=${TARNBELL_FUZZ_RUNS:-150000}
seed=${TARNBELL_FUZZ_SEED:-1}

mkdir -p "$out"
if [ ! -x "$fuzzer" ] ||
   [ -n "$(find tests/fuzz settings volume hotkeys -newer "$fuzzer" \( -name '*.cpp' -o -name '*.h' \) | head -1)" ]; then
  echo "fuzz: building $fuzzer"
  clang++ -std=c++17 -O1 -g -Wall -Wextra -I. \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
    "${sources[@]}" -o "$fuzzer"
fi

# A fresh working corpus each time, so that a run with the same seed is the same run.
rm -rf "$out/corpus"
mkdir -p "$out/corpus"
start=$SECONDS
"$fuzzer" -runs="$runs" -seed="$seed" -max_len=256 -timeout=10 -rss_limit_mb=1024 \
  -print_final_stats=1 -artifact_prefix="$out/" "$out/corpus" tests/fuzz/seeds 2>"$out/fuzz.log" || {
  tail -n 40 "$out/fuzz.log"
  echo "fuzz: FINDING after $((SECONDS - start)) s (log: $out/fuzz.log)"
  exit 1
}
echo "fuzz: $runs inputs, seed $seed, $((SECONDS - start)) s, no finding" \
     "($(grep -c . <(ls "$out/corpus")) inputs kept for coverage)"
