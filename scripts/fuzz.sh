#!/usr/bin/env bash
# Builds the libFuzzer configuration and fuzzes every target for a fixed time.
# usage: scripts/fuzz.sh [SECONDS]   (default 30 seconds per target)
# The committed seed corpus (tests/fuzz/corpus/<target>) is read, never written:
# new inputs go to build/fuzz/corpus/<target>, crashes to build/fuzz/crashes/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=build/fuzz
targets=(fuzz_hex fuzz_effect fuzz_svf_convert fuzz_script fuzz_engines fuzz_receive)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVZ_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ \
  -DVZ_FUZZ=ON -DVZ_GUI=OFF -DVZ_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target vz_fuzz_targets

status=0
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  crashes="$build/crashes/$target"
  mkdir -p "$work" "$crashes"
  echo "== $target: ${seconds} s"
  if ! "$build/tests/fuzz/$target" "$work" "tests/fuzz/corpus/$target" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -artifact_prefix="$crashes/" -print_final_stats=1 >"$build/$target.log" 2>&1; then
    echo "$target FAILED; input kept in $crashes, log in $build/$target.log"
    tail -n 30 "$build/$target.log"
    status=1
  else
    grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$build/$target.log" || true
  fi
done
[ "$status" -eq 0 ] && echo "Fuzzing found nothing."
exit "$status"
