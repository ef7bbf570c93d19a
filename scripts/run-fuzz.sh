#!/usr/bin/env bash
# Runs each fuzz target for a bounded time on a copy of its seed corpus (with fuzz/<name>.dict as
# dictionary when there is one); any crash, leak or sanitizer report fails the run and leaves the
# input in fuzz/crashes/.
set -euo pipefail
build=$1
seconds=$2
mkdir -p fuzz/crashes
status=0
for target in fuzz_bridge fuzz_condition fuzz_format; do
  bin="$build/fuzz/$target"
  [ -x "$bin" ] || continue
  name=${target#fuzz_}
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  dict=()
  [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
  echo "fuzz: $target for ${seconds}s"
  if ! "$bin" "$work" "${dict[@]}" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
      -artifact_prefix="fuzz/crashes/$name-" -print_final_stats=0 >"$work.log" 2>&1; then
    tail -n 40 "$work.log"
    status=1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
