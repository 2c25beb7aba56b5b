#!/usr/bin/env bash
# make bench: the benchmark tables of the native build and of each Windows
# architecture that this machine can run under Wine.
# usage: scripts/bench.sh BUILD
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
status=0

# The machine, for the record (docs/performance.md keeps a run with it).
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')," \
     "$(wine --version 2>/dev/null || echo 'no wine'), load average $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== native (Google Benchmark; median of 7 repetitions)"
# Only the medians: the mean, deviation and variation rows are left out.
"$build/native/bench/native/handler_bench" --benchmark_repetitions=7 \
    --benchmark_report_aggregates_only=true | grep -v -E '_(mean|stddev|cv) ' || status=1

for arch in win64 win32; do
  prefix=$(cd "$build/$arch" && pwd)/wine-prefix
  echo
  echo "== $arch (Wine)"
  "$here/wine-prefix" start "$arch" "$prefix"
  started=$?
  if [ "$started" -eq 77 ]; then
    echo "$arch: Wine cannot run $arch programs on this machine; skipped"
    continue
  elif [ "$started" -ne 0 ]; then
    echo "$arch: the Wine prefix $prefix could not be started" >&2
    status=1
    continue
  fi
  "$here/wine-run" "$arch" "$prefix" "$build/$arch/bin/lumora_bench.exe" || status=1
  "$here/wine-prefix" stop "$arch" "$prefix"
done
exit $status
