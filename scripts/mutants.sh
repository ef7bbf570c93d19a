#!/usr/bin/env bash
# Runs the deliberate faults in tests/mutants/ against the test suite: each mutant is applied,
# the build brought up to date, the suite run until its first failure, and the source restored
# byte for byte. A mutant the suite does not notice SURVIVED: a gap in the tests.
#
#   scripts/mutants.sh [BUILD_DIR] [MUTANT...]
#
# BUILD_DIR defaults to build-mutants (configured here with Ninja and ccache, so a developer's
# build/ stays untouched). MUTANT is a name (tests/mutants/NAME.mutant) or a path; all by default.
# Prints one line per mutant and a summary; exits 1 when a mutant survived or was invalid.
#
# To save time the test binary of the mutated layer (src/ledger -> ledger_tests, cli -> cli_tests)
# is built and run first; only a mutant it misses goes on to the whole build and ctest.
# MUTANT_TESTS=REGEX instead runs only the ctest tests matching REGEX (e.g. e2e_tests) for every
# mutant, to see what one suite catches on its own. MUTANT_TEST_TIMEOUT bounds a run (seconds).
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="${1:-build-mutants}"
[[ $# -gt 0 ]] && shift
test_timeout="${MUTANT_TEST_TIMEOUT:-600}"
only_tests="${MUTANT_TESTS:-}"
apply=(python3 "$root/scripts/mutant_apply.py")

mutants=()
if [[ $# -eq 0 ]]; then
  mutants=(tests/mutants/*.mutant)
else
  for m in "$@"; do
    if [[ -f "$m" ]]; then mutants+=("$m"); else mutants+=("tests/mutants/$m.mutant"); fi
  done
fi

backup="$(mktemp)"
log="$(mktemp)"
current=""
restore() {
  if [[ -n "$current" ]]; then
    cp "$backup" "$current"
    current=""
  fi
}
cleanup() {
  restore
  rm -f "$backup" "$log"
}
trap cleanup EXIT
trap 'restore; echo "mutants: interrupted, sources restored" >&2; exit 130' INT TERM

build_tree() { nice -n 5 cmake --build "$build" -j 2 "$@" >"$log" 2>&1; }
run_suite() {
  local select=()
  [[ -n "$only_tests" ]] && select=(-R "$only_tests")
  timeout "$test_timeout" nice -n 5 ctest --test-dir "$build" -j 2 --stop-on-failure \
    --output-on-failure --timeout "$test_timeout" "${select[@]}" >"$log" 2>&1
}
# The test binary of the layer a source belongs to; nothing for sources without one.
layer_binary() {
  case "$1" in
    src/platform/*) echo platform_tests ;;
    src/condition/*) echo condition_tests ;;
    src/component/*) echo component_tests ;;
    src/ledger/*) echo ledger_tests ;;
    src/services/*) echo services_tests ;;
    demo/*) echo demo_tests ;;
    cli/*) echo cli_tests ;;
  esac
}
# Builds and runs the layer's binary alone (as ctest would, with its environment).
run_layer() {
  local binary="$1"
  build_tree --target "$binary" || return 2
  (cd "$build" && Q9_SOURCE_DIR="$root" Q9_BUILD_DIR="$PWD" Q9STREP_BIN="$PWD/q9strep" \
    timeout "$test_timeout" nice -n 5 "./$binary" --gtest_brief=1) >"$log" 2>&1 && return 0
  sed -i "1i 1 - $binary (Failed)" "$log"
  return 1
}
# "binary: Suite.Case" of the first failure in the ctest log, or what ctest says about the binary.
first_failure() {
  local binary gtest
  binary="$(grep -m1 -oE '[0-9]+ - [a-z0-9_]+_tests \([^)]*\)' "$log" | sed -E 's/^[0-9]+ - //')"
  # With --stop-on-failure ctest may end before its summary: take the binary from its own line.
  [[ -z "$binary" ]] &&
    binary="$(grep -m1 -oE 'Test +#[0-9]+: [a-z0-9_]+_tests \.*\*\*\*[A-Za-z]+' "$log" |
      sed -E 's/^Test +#[0-9]+: ([a-z0-9_]+_tests) \.*\*\*\*(.*)$/\1 (\2)/')"
  gtest="$(grep -m1 -oE '\[  FAILED  \] [A-Za-z0-9_/.]+' "$log" | sed -E 's/^\[  FAILED  \] //')"
  if [[ -n "$gtest" ]]; then echo "${binary%% *}: $gtest"; else echo "${binary:-ctest failed}"; fi
}

if [[ ! -f "$build/build.ninja" ]]; then
  echo "mutants: configuring $build"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ9_BUILD_BENCH=OFF \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null || exit 2
fi
echo "mutants: building and testing the unchanged sources first"
if ! build_tree; then cat "$log" >&2; echo "mutants: the unchanged sources do not build" >&2; exit 2; fi
if ! run_suite; then
  echo "mutants: the suite fails without any mutant ($(first_failure)); fix that first" >&2
  exit 2
fi

caught=0 survived=0 skipped=0 invalid=0
for m in "${mutants[@]}"; do
  name="$(basename "$m" .mutant)"
  source="$("${apply[@]}" check "$root" "$m")"
  status=$?
  if [[ $status -ne 0 ]]; then
    if [[ $status -eq 3 ]]; then
      printf 'NOT APPLICABLE  %s  (%s: original text not found exactly once)\n' "$name" "$source"
      skipped=$((skipped + 1))
    else
      printf 'INVALID  %s  (%s)\n' "$name" "$source"
      invalid=$((invalid + 1))
    fi
    continue
  fi
  cp "$source" "$backup"
  current="$source"
  "${apply[@]}" apply "$root" "$m" >/dev/null
  binary=""
  [[ -z "$only_tests" ]] && binary="$(layer_binary "$source")"
  layer=0
  if [[ -n "$binary" ]]; then
    run_layer "$binary"
    layer=$?
  fi
  if [[ $layer -eq 1 ]]; then
    printf 'CAUGHT  %s  (%s)\n' "$name" "$(first_failure)"
    caught=$((caught + 1))
  elif [[ $layer -eq 2 ]] || ! build_tree; then
    printf 'INVALID  %s  (does not compile: %s)\n' "$name" \
      "$(grep -m1 -E 'error' "$log" | cut -c1-160)"
    invalid=$((invalid + 1))
  elif run_suite; then
    printf 'SURVIVED  %s\n' "$name"
    survived=$((survived + 1))
  else
    printf 'CAUGHT  %s  (%s)\n' "$name" "$(first_failure)"
    caught=$((caught + 1))
  fi
  restore
done

# Leave the build matching the restored sources.
build_tree || echo "mutants: the restored sources do not build" >&2
summary="mutants: $caught caught, $survived survived, $skipped not applicable"
[[ $invalid -gt 0 ]] && summary+=", $invalid invalid"
echo "$summary"
[[ $survived -eq 0 && $invalid -eq 0 ]]
