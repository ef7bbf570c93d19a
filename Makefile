# Entry points for people and CI. Each target installs what is missing first.
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS ?= $(shell nproc)
# Compiles go through ccache where it is installed; paths below this folder count as relative, so
# another clone of the project reuses the same objects.
CMAKE_FLAGS ?= $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR := $(CURDIR)
# The project's own targets treat warnings as errors; a plain cmake configure does not.
WERROR ?= -DQ9_WERROR=ON
RELEASE_BUILD ?= build-release

.PHONY: setup configure build test release sanitize tsan demo bench fuzz clean mutants serve web-bench

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Installs what is missing, builds and runs every test.
test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The build a packager or user makes (Release, -O3), with warnings as errors so that a warning only
# the optimiser sees cannot come back unnoticed; its suite runs too, since -O3 is what users get.
release: setup
	@cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQ9_BUILD_BENCH=OFF \
	  $(WERROR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(RELEASE_BUILD) -j $(JOBS)
	@cd $(RELEASE_BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: setup
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQ9_SANITIZE=ON \
	  -DQ9_BUILD_BENCH=OFF $(WERROR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The main job: builds, creates the demo company under ./demo-data when it is missing, and prints
# the demo user's stock ledger by batch: the summary and the detail of its first row.
demo: build
	@./$(BUILD)/q9strep ledger --kind batch

# The web report on the demo company (created under ./demo-data on first use): open the address it
# prints and log in as demo / demo-2026. SERVE_FLAGS adds options, e.g. SERVE_FLAGS="--listen
# 127.0.0.1:9000" or SERVE_FLAGS="--db 'Provider=...'" (before serve: --db is a global option).
SERVE_FLAGS ?=
serve: build
	@./$(BUILD)/q9strep serve $(SERVE_FLAGS)

# The lifetime and threading cases under ThreadSanitizer: many instances on several threads, each
# thread its own apartment, and the web server's concurrent sessions and logins. Only those two
# test binaries are built.
tsan: setup
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ9_TSAN=ON \
	  -DQ9_BUILD_BENCH=OFF $(WERROR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target e2e_tests web_tests
	@TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 $(TSAN_BUILD)/e2e_tests \
	  --gtest_filter='LifetimeTest.*:ThreadsTest.*' --gtest_brief=1
	@TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 $(TSAN_BUILD)/web_tests \
	  --gtest_filter='WebSessionTest.*:WebLoginTest.*' --gtest_brief=1

clean:
	rm -rf $(BUILD) $(RELEASE_BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(MUTANTS_BUILD)

# The ledger benchmark (never part of `test`): BENCH_LINES is one size or a comma-separated list;
# generated companies are kept in $(BUILD)/bench-data. Figures and how to read them: BENCHMARKS.md.
BENCH_LINES ?= 1000000
BENCH_FLAGS ?=
bench: build
	@$(BUILD)/bench/ledger_bench --lines $(BENCH_LINES) --data $(BUILD)/bench-data $(BENCH_FLAGS)

# The web report under load (never part of `test`): WEB_BENCH_SESSIONS sessions at once on the
# company of BENCH_LINES lines (kept in $(BUILD)/bench-data). Figures: BENCHMARKS.md.
WEB_BENCH_SESSIONS ?= 50
web-bench: build
	@$(BUILD)/web_bench --lines $(BENCH_LINES) --data $(BUILD)/bench-data \
	  --sessions $(WEB_BENCH_SESSIONS) --q9strep $(BUILD)/q9strep

# Fuzz targets (clang + libFuzzer), each for FUZZ_SECONDS, seeded from fuzz/corpus/.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20
fuzz: setup
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQ9_BUILD_FUZZ=ON -DQ9_BUILD_BENCH=OFF $(WERROR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@bash scripts/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The deliberate faults of tests/mutants/ against the test suite, each applied, built, tested and
# undone in a build directory of its own; fails when the suite misses one. MUTANTS picks some by
# name (e.g. MUTANTS="ledger_opening_issue_sign cli_csv_lf_records"). Takes 20 to 30 minutes.
MUTANTS_BUILD ?= build-mutants
MUTANTS ?=
mutants: setup
	@bash scripts/mutants.sh $(MUTANTS_BUILD) $(MUTANTS)

# --- COM server for Windows (cross-built with mingw-w64, proven under Wine) ---------------------
# `make com` installs mingw-w64, Wine and tclsh when missing, fetches pugixml and SQLite
# from Debian's source packages, and builds Q9STRepSrv.dll and Q9ErpSubstitutes.dll into
# $(COM_BUILD) (ccache with a base directory, so a fresh clone reuses the objects).
# `make com-test` registers both in a fresh Wine prefix, runs the script front end
# (com/test/front_end.vbs) and compares its values with q9strep's; it fails when Wine is missing.
COM_BUILD ?= build-com
COM_JOBS ?= 2

.PHONY: com com-test

com:
	@bash scripts/setup-com.sh $(COM_BUILD)/third_party
	@nice -n 10 cmake -S com -B $(COM_BUILD) -G Ninja \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/com/cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache \
	  -DQ9_THIRD_PARTY=$(CURDIR)/$(COM_BUILD)/third_party $(WERROR) >/dev/null
	@CCACHE_BASEDIR=$(CURDIR) nice -n 10 cmake --build $(COM_BUILD) -j $(COM_JOBS)

com-test: com
	@test -x $(BUILD)/q9strep || $(MAKE) --no-print-directory build JOBS=$(COM_JOBS)
	@bash com/test/run.sh $(COM_BUILD) $(BUILD)/q9strep

# --- Web report in a browser ----------------------------------------------------------------
# `make web-test` installs Chromium, a Chinese font, Node.js and the pinned playwright-core
# (scripts/setup-web.sh), builds q9strep, and runs the browser tests of web/test/browser/ with
# node's test runner: each starts `q9strep serve` on a free loopback port over a fresh demo
# company and checks the page against q9strep. WEB_SHOTS=DIR keeps a screenshot of every step.
WEB_SHOTS ?=
.PHONY: web-test

web-test: build
	@bash scripts/setup-web.sh
	@cd web/test/browser && Q9STREP=$(CURDIR)/$(BUILD)/q9strep Q9_WEB_SHOTS=$(WEB_SHOTS) \
	  node --test --test-concurrency=1
