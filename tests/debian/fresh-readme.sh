#!/bin/sh
# fresh-debian.sh's last hook: the README's two commands in the root $1 as its user runs them, without a display.
# In TESSEL_FRESH_RESULTS: NAME.log and NAME.status ("exit N, S s") for each, the screenshot, os-release, wine.txt.
for command in run test; do
  started=$(date +%s)
  chroot "$1" runuser -u student -- env -i HOME=/home/student USER=student LOGNAME=student LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/bin:/usr/bin:/bin bash -c "cd ~/tessel && scripts/$command.sh" \
    >"$TESSEL_FRESH_RESULTS/$command.log" 2>&1
  echo "exit $?, $(($(date +%s) - started)) s" >"$TESSEL_FRESH_RESULTS/$command.status"
done
cp "$1/etc/os-release" "$1/home/student/tessel/build/tessel-screenshot.png" "$TESSEL_FRESH_RESULTS/"
chroot "$1" sh -c 'wine --version 2>/dev/null || echo "no wine"' >"$TESSEL_FRESH_RESULTS/wine.txt"
