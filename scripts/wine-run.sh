#!/usr/bin/env bash
# Runs a Windows console program under Wine in the project's shared test prefix.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
tessel_use_shared_prefix
exec wine "$@"
