# Sourced by the checkers that are scripts: failures counted and said in the checker's name, all of them before it
# ends. expect WHAT EXPECTED ACTUAL. quietly LOG COMMAND...: output to LOG; if it fails, the log's end, and the end.
# finish SUMMARY...: fails if anything did, else says SUMMARY.
# shellcheck shell=bash
checker=$(basename "$0" .sh) failures=0
fail() { echo "$checker: $*" >&2; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || fail "$1: expected \"$2\", got \"$3\""; }
quietly() { "${@:2}" >"$1" 2>&1 || { tail -n 40 "$1" >&2; echo "$checker: $2 failed, its log is $1" >&2; exit 1; }; }
finish() { [ "$failures" -eq 0 ] || { echo "$checker: $failures failures" >&2; exit 1; }; echo "$checker: $*"; }
