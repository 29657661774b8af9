#!/bin/sh
# fresh-debian.sh's last hook: the README's two commands in the root $1 as its user runs them, without a display;
# then, with TESSEL_FRESH_ROBUSTNESS=N, the racing-starts group N times. In TESSEL_FRESH_RESULTS: NAME.log and
# NAME.status ("exit N, S s") for each command, robustness-N.log and robustness.status, the screenshot, os-release,
# wine.txt.
as_student() {
  chroot "$1" runuser -u student -- env -i HOME=/home/student USER=student LOGNAME=student LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/bin:/usr/bin:/bin bash -c "cd ~/tessel && $2"
}
for command in run test; do
  started=$(date +%s)
  as_student "$1" "scripts/$command.sh" >"$TESSEL_FRESH_RESULTS/$command.log" 2>&1
  echo "exit $?, $(($(date +%s) - started)) s" >"$TESSEL_FRESH_RESULTS/$command.status"
done
cp "$1/etc/os-release" "$1/home/student/tessel/build/tessel-screenshot.png" "$TESSEL_FRESH_RESULTS/"
chroot "$1" sh -c 'wine --version 2>/dev/null || echo "no wine"' >"$TESSEL_FRESH_RESULTS/wine.txt"
runs=0 passed=0
while [ "$runs" -lt "${TESSEL_FRESH_ROBUSTNESS:-0}" ]; do
  runs=$((runs + 1))
  as_student "$1" 'ctest --preset mingw-x86_64 -L robustness --output-on-failure' \
    >"$TESSEL_FRESH_RESULTS/robustness-$runs.log" 2>&1 && passed=$((passed + 1))
  echo "$passed of $runs passed" >"$TESSEL_FRESH_RESULTS/robustness.status"
done
