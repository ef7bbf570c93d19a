#!/usr/bin/env bash
# Prints a SHA-256 of every table of the generated demo company (company.db and system.db) for a
# few sizes and seeds, one line per table. Run it before and after a change to the generator or
# the writer and compare the outputs: the same seed must give the same rows.
#   scripts/demo-checksums.sh [path/to/q9strep] [work-dir]
set -euo pipefail
bin=${1:-build/q9strep}
work=${2:-$(mktemp -d)}
# lines:seed pairs: the smallest company, the default size, a larger one.
for config in 200:1 5000:20261206 60000:7; do
  lines=${config%%:*}
  seed=${config##*:}
  dir="$work/demo-$lines-$seed"
  rm -rf "$dir"
  "$bin" demo --dir "$dir" --lines "$lines" --seed "$seed" >/dev/null
  for db in company system; do
    for table in $(sqlite3 "$dir/$db.db" \
        "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"); do
      sum=$(sqlite3 -cmd ".mode quote" "$dir/$db.db" "SELECT * FROM \"$table\" ORDER BY rowid" | sha256sum)
      echo "$lines $seed $db.$table ${sum%% *}"
    done
  done
  rm -rf "$dir"
done
