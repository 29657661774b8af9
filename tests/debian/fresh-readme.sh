#!/bin/sh
# mmdebstrap's customize hook for fresh-debian.sh: the README's two commands in the root $1 as its user runs them,
# without a display. In the results: NAME.log, NAME.status ("EXIT SECONDS"), the screenshot, os-release, wine.txt.
set -u
root=$1
user=$TESSEL_FRESH_USER
results=$TESSEL_FRESH_RESULTS
for command in run test; do
  started=$(date +%s)
  chroot "$root" runuser -u "$user" -- env -i HOME="/home/$user" USER="$user" LOGNAME="$user" LANG=C.UTF-8 \
    TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd ~/tessel && scripts/$command.sh" >"$results/$command.log" 2>&1
  echo "$? $(($(date +%s) - started))" >"$results/$command.status"
done
cp "$root/etc/os-release" "$results/"
cp "$root/home/$user/tessel/build/tessel-screenshot.png" "$results/" 2>/dev/null
chroot "$root" sh -c 'wine --version 2>/dev/null || echo "no wine"' >"$results/wine.txt"
exit 0
