# The helpers of the lumora.exe tests under Wine, sourced by them (not run):
# run (lumora.exe with stdout, stderr and status kept), fail and has.
# Needs scripts, arch, prefix, bin and work set.
failures=0
out= err= status=
run() {
  "$scripts/wine-run" "$arch" "$prefix" "$bin/lumora.exe" "$@" >"$work/stdout" 2>"$work/stderr"
  status=$?
  out=$(tr -d '\r' <"$work/stdout")
  err=$(tr -d '\r' <"$work/stderr")
}
fail() { echo "FAIL: $*"; echo "  stdout: ${out:0:2000}"; echo "  stderr: $err"; failures=$((failures + 1)); }
has() { case "$out" in *"$2"*) ;; *) fail "$1: stdout lacks '$2'" ;; esac; }
