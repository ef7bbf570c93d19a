#!/usr/bin/env bash
# Installs what the browser tests of the web report need, when it is missing: Debian's Chromium
# (the tests drive it; no browser is ever downloaded), a font with Chinese glyphs (so the page
# and its screenshots show the captions), Node.js and npm, then the pinned playwright-core from
# web/test/browser/package-lock.json.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(chromium fonts-wqy-microhei nodejs npm)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done 2>/dev/null || true
# A node and npm that come from elsewhere serve as well.
if command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1; then
  missing=("${missing[@]/nodejs/}")
  missing=("${missing[@]/npm/}")
fi
read -r -a missing <<<"${missing[*]}"

if [ ${#missing[@]} -gt 0 ]; then
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "setup-web: this system has no apt-get; install by hand: ${missing[*]}" >&2
    exit 1
  fi
  echo "setup-web: installing ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The driver only, at the version of the lock file; it must never fetch a browser of its own.
cd web/test/browser
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
