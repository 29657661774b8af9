# Sourced: the Debian mirrors this host's apt uses, so that a school's own mirror or proxy serves the roots and
# machines made here too. TESSEL_DEBIAN_MIRROR and TESSEL_DEBIAN_SECURITY override them.
# shellcheck shell=bash
# tessel_debian_mirror [Debian|Debian-Security]: the archive's URI from apt's own index targets, or nothing.
tessel_debian_mirror() {
  # shellcheck disable=SC2016 # apt's own format fields, not the shell's
  apt-get indextargets --format '$(LABEL) $(REPO_URI)' 2>/dev/null |
    awk -v label="${1:-Debian}" '$1 == label { sub(/\/$/, "", $2); print $2; exit }'
}
TESSEL_DEBIAN_MIRROR=${TESSEL_DEBIAN_MIRROR:-$(tessel_debian_mirror Debian)}
TESSEL_DEBIAN_SECURITY=${TESSEL_DEBIAN_SECURITY:-$(tessel_debian_mirror Debian-Security)}
