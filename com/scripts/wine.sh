#!/usr/bin/env bash
# Runs a Windows program under wine64 in the prefix $1, made on first use as a copy of the prefix
# template beside it (wine-template, initialised once: about 10 s and more on a busy machine).
# Usage: wine.sh PREFIX PROGRAM [ARGS...]
set -euo pipefail
prefix=$1
shift

wine64=$(command -v wine64 || true)
[ -n "$wine64" ] || wine64=/usr/lib/wine/wine64
if [ ! -x "$wine64" ]; then
  echo "wine.sh: wine64 not found (install wine and wine64: scripts/setup-com.sh)" >&2
  exit 127
fi

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64

template="$(dirname "$prefix")/wine-template"
if [ ! -f "$prefix/system.reg" ]; then
  if [ ! -f "$template/system.reg" ]; then
    rm -rf "$template.tmp"
    WINEPREFIX="$template.tmp" "$wine64" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$template.tmp" wineserver -w
    rm -rf "$template" && mv "$template.tmp" "$template"
  fi
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
fi
export WINEPREFIX=$prefix
exec "$wine64" "$@"
