# Sourced by the package checks: failures are counted and said, in the checking script's name, and the script
# goes on to say every one of them before it ends.
checker=$(basename "$0" .sh)
failures=0
fail() {
  echo "$checker: $*" >&2
  failures=$((failures + 1))
}
# expect WHAT EXPECTED ACTUAL
expect() {
  [ "$2" = "$3" ] || fail "$1: expected \"$2\", got \"$3\""
}
