# shellcheck shell=bash
# Sourced by the package checks: failures are counted and said, in the checking script's name, and the script
# goes on to say every one of them before it ends. expect WHAT EXPECTED ACTUAL. quietly LOG COMMAND...: COMMAND's
# output goes to LOG, whose end is said if it fails, which ends the script. finish SUMMARY...: failures, or SUMMARY.
checker=$(basename "$0" .sh) failures=0
fail() { echo "$checker: $*" >&2; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || fail "$1: expected \"$2\", got \"$3\""; }
quietly() {
  local log=$1 && shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "$checker: $1 failed, its log is $log" >&2; exit 1; }
}
finish() { [ "$failures" -eq 0 ] || { echo "$checker: $failures failures" >&2; exit 1; }; echo "$checker: $*"; }
