#!/bin/sh
# mmdebstrap's customize hook for fresh-debian.sh: in the root $1, an ordinary user who may use sudo, as on a desktop
# machine, with this checkout's HEAD in the home folder; and the certificate authorities this host trusts locally
# (a network's TLS proxy, say), so that npm reaches its registry from the root as it does from the host.
set -eu
root=$1
user=$TESSEL_FRESH_USER
chroot "$root" useradd --create-home --shell /bin/bash "$user"
echo "$user ALL=(ALL) NOPASSWD: ALL" >"$root/etc/sudoers.d/$user"
chmod 0440 "$root/etc/sudoers.d/$user"
cp -R /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
chroot "$root" update-ca-certificates >/dev/null
git clone --quiet --no-hardlinks "$TESSEL_FRESH_CHECKOUT" "$root/home/$user/tessel"
chroot "$root" chown -R "$user:$user" "/home/$user/tessel"
