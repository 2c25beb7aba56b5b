#!/usr/bin/env bash
# Runs libFuzzer on every fuzz target of tests/fuzz for SECONDS each.
#   scripts/fuzz.sh BUILD_DIR [SECONDS]
# Builds BUILD_DIR with clang and LUMORA_FUZZ=ON. Each target starts from a
# working copy of its committed corpus (BUILD_DIR/corpus/NAME, which grows as
# the fuzzer finds new paths) and the committed crash inputs; an input that
# fails is written to BUILD_DIR/crashes/NAME/. To keep one as a regression
# input, minimise it (NAME_fuzz -minimize_crash=1 INPUT), fix the fault and
# commit it to tests/fuzz/crashes/NAME/. Exit status 1 when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:?usage: fuzz.sh BUILD_DIR [SECONDS]}")
seconds=${2:-120}

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is not installed (scripts/setup.sh fuzz installs it)" >&2
  exit 1
fi
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DLUMORA_FUZZ=ON
fi
cmake --build "$build" --target fuzz_targets -j "${JOBS:-2}"

failed=()
for entry in tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$entry" _fuzz.cpp)
  corpus="$build/corpus/$name"
  crashes="$build/crashes/$name"
  mkdir -p "$corpus" "$crashes"
  seeds=(tests/fuzz/corpus/"$name")
  [ -d "tests/fuzz/crashes/$name" ] && seeds+=("tests/fuzz/crashes/$name")
  echo "fuzz: $name for ${seconds}s"
  if ! "$build/tests/fuzz/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$crashes/" "$corpus" "${seeds[@]}" >"$build/$name.log" 2>&1; then
    failed+=("$name")
    echo "fuzz: $name FAILED (see $build/$name.log and $crashes/)" >&2
  fi
  grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$build/$name.log" || true
done
if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: failing targets: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: no failures"
