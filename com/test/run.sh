#!/usr/bin/env bash
# The proof of the COM server under Wine: a fresh prefix, regsvr32 of both DLLs, the script front
# end (front_end.vbs) run by cscript, its values compared with q9strep's on a copy of the same
# demo company, the bad-input cases (bad_input.vbs), then regsvr32 /u and a check that the
# registry keys are gone. Usage: run.sh BUILD_COM_DIR Q9STREP
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
q9strep=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")

wine64=$(command -v wine64 || true)
[ -n "$wine64" ] || wine64=/usr/lib/wine/wine64
if [ ! -x "$wine64" ]; then
  echo "com-test: FAILED: Wine (wine64) is not installed; run scripts/setup-com.sh" >&2
  exit 1
fi
if [ ! -x "$q9strep" ]; then
  echo "com-test: FAILED: $q9strep is missing (make build)" >&2
  exit 1
fi

work=$build/test-run
prefix=$build/test-prefix
rm -rf "$work" "$prefix"
mkdir -p "$work/io" "$work/cli"
wine() { bash "$here/../scripts/wine.sh" "$prefix" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# One demo company, copied for each side (SaveFormat writes to it).
"$q9strep" demo --dir "$work/company" >/dev/null
cp -a "$work/company" "$work/company-com"
cp -a "$work/company" "$work/company-cli"

t0=$(now)
wine regsvr32 /s "$(winpath "$build/Q9ErpSubstitutes.dll")"
t1=$(now)
wine regsvr32 /s "$(winpath "$build/Q9STRepSrv.dll")"
t2=$(now)
echo "com-test: regsvr32 Q9STRepSrv.dll took $(elapsed "$t1" "$t2") s" \
  "(the first regsvr32, with the new prefix's start: $(elapsed "$t0" "$t1") s)"

python3 "$here/compare.py" prepare "$q9strep" "$work" \
  "Provider=SQLite;Data Source=$(winpath "$work/company-com/company.db");System Database=$(winpath "$work/company-com/system.db")"

t0=$(now)
wine cscript //nologo "$(winpath "$here/front_end.vbs")" "$(winpath "$work/io")"
t1=$(now)
echo "com-test: script front end session under Wine: $(elapsed "$t0" "$t1") s"

t0=$(now)
python3 "$here/compare.py" expect "$q9strep" "$work" "$work/company-cli"
t1=$(now)
echo "com-test: the same session through q9strep: $(elapsed "$t0" "$t1") s"
python3 "$here/compare.py" compare "$q9strep" "$work"

wine cscript //nologo "$(winpath "$here/bad_input.vbs")" "$(winpath "$work/io")"
python3 "$here/compare.py" bad-input "$q9strep" "$work"

wine "$(winpath "$build/lifetime_probe.exe")" "$(winpath "$build/Q9STRepSrv.dll")" \
  "Provider=SQLite;Data Source=$(winpath "$work/company-com/company.db");System Database=$(winpath "$work/company-com/system.db")" \
  >"$work/lifetime.txt" || {
  echo "com-test: FAILED: lifetime and apartment checks:" >&2
  cat "$work/lifetime.txt" >&2
  exit 1
}
echo "com-test: type library, lifetime and apartment checks: $(grep -c '^ok' "$work/lifetime.txt") passed"

wine regsvr32 /u /s "$(winpath "$build/Q9STRepSrv.dll")"
wine regsvr32 /u /s "$(winpath "$build/Q9ErpSubstitutes.dll")"
wine reg query 'HKCR\Q9STRepSrv.IClsKCZT' >/dev/null 2>&1 && {
  echo "com-test: FAILED: the ProgID is still registered after regsvr32 /u" >&2
  exit 1
}
# The registry reaches system.reg when the prefix's wineserver ends.
WINEPREFIX=$prefix wineserver -w
left=$(grep -c -i -E '6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B2|Q9STRepSrv|VtCOMMON.Login|Q9Substitutes' \
  "$prefix/system.reg" || true)
if [ "$left" != "0" ]; then
  echo "com-test: FAILED: $left registry lines of the servers remain after regsvr32 /u:" >&2
  grep -i -E '6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B2|Q9STRepSrv|VtCOMMON.Login|Q9Substitutes' \
    "$prefix/system.reg" >&2
  exit 1
fi
echo "com-test: regsvr32 /u removed every key of both servers"
echo "com-test: DLL size: $(stat -c %s "$build/Q9STRepSrv.dll") bytes (Q9STRepSrv.dll)"
