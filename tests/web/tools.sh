#!/usr/bin/env bash
# Checks the browser tests' tools and installs their npm packages from the lockfile into the build tree.
# usage: tools.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dir=$1

missing=()
for tool in chromium node npm; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "web.tools: missing ${missing[*]}; scripts/setup.sh test installs them" >&2
  exit 1
fi
major=$(node -p 'process.versions.node.split(".")[0]')
if [ "$major" -lt 18 ]; then
  echo "web.tools: node $(node --version) is too old; the tests need Node.js 18 or later" >&2
  exit 1
fi

# Installed again only when the lockfile changed; the npm cache serves it offline once fetched.
if ! cmp -s "$here/package-lock.json" "$dir/package-lock.json" || [ ! -d "$dir/node_modules/playwright-core" ]; then
  mkdir -p "$dir"
  cp "$here/package.json" "$here/package-lock.json" "$dir/"
  (cd "$dir" && npm ci --prefer-offline --no-audit --no-fund --loglevel=error)
fi
echo "web.tools: chromium, node $(node --version), npm $(npm --version), playwright-core $(node -p "require('$dir/node_modules/playwright-core/package.json').version")"
