#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) into build-fuzz/ and runs them.
#   scripts/fuzz.sh TARGET SECONDS   runs one target, or "all" of them one after the other,
#                                    for that many seconds each
#   scripts/fuzz.sh --ci             runs each target over its seeds and a fixed number of
#                                    further inputs (what CI does)
#   scripts/fuzz.sh --seeds          writes the seed corpora anew with the program's writers
# Seeds live in fuzz/corpus/TARGET and are only read; what a run finds new goes to
# build-fuzz/corpus/TARGET, and a crashing input to build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(srecord infoblock sdoclient header imagewalk xlsx xls)

bash scripts/setup.sh
cmake -S . -B build-fuzz -G Ninja -DKELB_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzzers

# 256 MB for what one input allocates; the process may hold more (the sanitizer's
# quarantine and Qt), which the RSS limit leaves room for.
export ASAN_OPTIONS=quarantine_size_mb=16:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Inputs may be longer than the seeds for these targets: a header line of 40 KB nests an
# expression 20,000 levels deep.
declare -A max_len=([header]=65536)

run() {  # run TARGET libFuzzer-options...
  local t=$1
  shift
  if [ -n "${max_len[$t]:-}" ]; then set -- -max_len="${max_len[$t]}" "$@"; fi
  mkdir -p "build-fuzz/corpus/$t" build-fuzz/findings build-fuzz/logs
  local log="build-fuzz/logs/$t.log" rc=0
  "build-fuzz/fuzz/fuzz_$t" -malloc_limit_mb=256 -rss_limit_mb=1024 -timeout=1 -artifact_prefix=build-fuzz/findings/"$t"- \
    -print_final_stats=1 "$@" "build-fuzz/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
  # The last statistics are the fuzzer's own (the .xls reader's child processes print theirs too).
  echo "fuzz: $t $*: $(grep stat::number_of_executed_units "$log" | tail -1 | awk '{print $2}') inputs, exit code $rc"
  if [ "$rc" -ne 0 ]; then tail -40 "$log"; fi
  return "$rc"
}

case "${1:-}" in
  --seeds)
    build-fuzz/fuzz/fuzz_makeseeds fuzz/corpus tests/fixtures/excel/signal_list.xls
    ;;
  --ci)
    for t in "${targets[@]}"; do run "$t" -runs=3000 -seed=1; done
    echo "fuzz: every target ran its seeds and 3000 inputs"
    ;;
  "" | -h | --help)
    sed -n 2,10p "$0"
    ;;
  *)
    secs=${2:?seconds}
    if [ "$1" = all ]; then list=("${targets[@]}"); else list=("$1"); fi
    for t in "${list[@]}"; do run "$t" -max_total_time="$secs"; done
    ;;
esac
