#!/usr/bin/env bash
# Runs a Windows console program under Wine in the project's shared test prefix of the given kind.
# usage: wine-run.sh win32|win64 PROGRAM.exe [arguments...]
set -euo pipefail
export TESSEL_WINE_ARCH=$1
shift
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
tessel_use_shared_prefix
exec wine "$@"
