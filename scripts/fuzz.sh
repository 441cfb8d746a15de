#!/usr/bin/env bash
# scripts/fuzz.sh [seconds]: builds the fuzz preset (clang, AddressSanitizer,
# UndefinedBehaviorSanitizer, libFuzzer) and runs every fuzz target for the
# given seconds (default 30), one after the other, each from its seeds in
# fuzz/corpus/<name>/ and what earlier runs found (build-fuzz/corpus/<name>/).
# Prints one line per target; exits non-zero when any target finds a crash, a
# sanitizer report, a failed check or an input that takes too long, and leaves
# the input in the folder it names.
#   VEMO_FUZZ_TARGETS="wildcard pinyin"  runs only those targets
#   VEMO_FUZZ_NICE=10                    runs them at that niceness
#   VEMO_FUZZ_SEED=1                     libFuzzer's seed (default 0: a new one each run)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build=build-fuzz
findings="$build/findings"

bash scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen

targets=()
if [ -n "${VEMO_FUZZ_TARGETS:-}" ]; then
  for name in $VEMO_FUZZ_TARGETS; do targets+=("$build/bin/fuzz_$name"); done
else
  targets=("$build"/bin/fuzz_*)
fi

failed=0
for target in "${targets[@]}"; do
  name="${target##*/fuzz_}"
  work="$build/corpus/$name"
  log="$build/fuzz_$name.log"
  mkdir -p "$work" "$findings/$name"
  flags=()
  if [ -f "fuzz/$name.options" ]; then
    while IFS= read -r line; do
      [[ -z "$line" || "$line" == \#* ]] || flags+=("$line")
    done <"fuzz/$name.options"
  fi
  corpora=("$work")
  [ -d "fuzz/corpus/$name" ] && corpora+=("fuzz/corpus/$name")
  status=0
  nice -n "${VEMO_FUZZ_NICE:-0}" "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -seed="${VEMO_FUZZ_SEED:-0}" -artifact_prefix="$findings/$name/" "${flags[@]}" \
    "${corpora[@]}" >"$log" 2>&1 ||
    status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  memory=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)
  units=$(find "$work" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    printf 'fuzz_%-20s %8s exec/s %10s runs  corpus %5s  %5s MB  ok\n' "$name" "${speed:-?}" "${runs:-?}" "$units" \
      "${memory:-?}"
  else
    failed=1
    artifact=$(sed -n 's/.*Test unit written to //p' "$log" | tail -1)
    printf 'fuzz_%-20s FINDING (exit %s): input %s, log %s\n' "$name" "$status" "${artifact:-(none)}" "$log"
    { grep -E 'fuzz check failed|^SUMMARY|ERROR: (libFuzzer|AddressSanitizer)|runtime error|ParseDictionary' -A1 \
      "$log" || tail -3 "$log"; } | head -8 | sed 's/^/    /'
  fi
done
if [ "$failed" -ne 0 ]; then
  echo "fuzzing found problems; the inputs are in $findings/"
  exit 1
fi
