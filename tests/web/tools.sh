#!/usr/bin/env bash
# Checks the browser tests' tools and installs their npm packages from the lockfile into the build tree.
# usage: tools.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$1" && dir=$(cd "$1" && pwd)
minibrowser=${TESSEL_MINIBROWSER:-/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser}
missing=()
for tool in chromium firefox-esr WebKitWebDriver "$minibrowser" Xvfb node npm; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
[ ${#missing[@]} -eq 0 ] ||
  { echo "web.tools: missing ${missing[*]}; scripts/setup.sh test installs them" >&2; exit 1; }
[ "$(node -p 'process.versions.node.split(".")[0]')" -ge 18 ] ||
  { echo "web.tools: node $(node --version) is too old; the tests need Node.js 18 or later" >&2; exit 1; }
# Installed again only when the lockfile changed or the last install did not finish (npm writes its hidden lockfile
# last); the npm cache serves it offline once fetched.
if ! cmp -s "$here/package-lock.json" "$dir/package-lock.json" || [ ! -f "$dir/node_modules/.package-lock.json" ]; then
  cp "$here/package.json" "$here/package-lock.json" "$dir/"
  (cd "$dir" && npm ci --prefer-offline --no-audit --no-fund --loglevel=error)
fi
version() { node -p "require('$dir/node_modules/$1/package.json').version"; }
echo "web.tools: $(chromium --version 2>/dev/null | head -n1 | cut -d' ' -f1-2)," \
  "$(firefox-esr --version 2>/dev/null), WebKitWebDriver and MiniBrowser,"
echo "  node $(node --version), npm $(npm --version), playwright-core $(version playwright-core)," \
  "puppeteer-core $(version puppeteer-core), axe-core $(version axe-core)"
