# Larkspur: the two set-up commands are `make run` and `make test`; both install
# what they need first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
# ON makes every compiler warning an error in the builds of `make test` and
# `make asan` (CI sets it; see .ci/run).
LARKSPUR_WERROR ?= OFF
PREFIX     ?= /usr/local
DESTDIR    ?=

.PHONY: all deps configure build run test install uninstall deb asan bench perf soak fuzz format format-check clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPUR_WERROR=$(LARKSPUR_WERROR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# In a window when a display can be reached (q or Escape ends it); else
# headless: 20 simulated seconds, a frame every 5 s written into out/.
run: build
	@if [ -n "$$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then \
	  $(BUILD)/bin/larkspur; \
	else \
	  echo "make run: no display reachable, rendering headless"; \
	  $(BUILD)/bin/larkspur --headless --seconds 20 --every 200 --out out; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The programs, packs, man pages, XScreenSaver's settings description, MATE's
# screensaver entry and the menu entries under $(DESTDIR)$(PREFIX). The prefix is built in,
# since larkspur looks for its packs there.
install: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	DESTDIR=$(DESTDIR) cmake --install $(BUILD)

# Removes what the last `make install` put in place, as CMake's install
# manifest in $(BUILD) lists it, under the DESTDIR it was installed with (a
# different DESTDIR is refused); emptied folders go only when they are
# Larkspur's own or savers' ones, never the prefix's standard folders
# (scripts/uninstall.cmake).
uninstall:
	DESTDIR=$(DESTDIR) cmake -DMANIFEST=$(abspath $(BUILD))/install_manifest.txt -P scripts/uninstall.cmake

# The Debian package, $(BUILD)/deb/larkspur_VERSION-RELEASE_ARCH.deb: the
# programs built again for /usr in a tree of their own, packed by CPack and
# checked by lintian (scripts/make-deb).
deb: deps
	@JOBS=$(JOBS) scripts/make-deb $(BUILD)/deb

# The logic and program tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (not the package's, which needs root); any report fails.
# GCC 12's runtime follows __tls_get_addr by a guess about glibc's old TLS
# header; with Mesa's dynamic TLS the guess can be wrong and the leak check
# crashes on exit, after the test passed. intercept_tls_get_addr=0 turns the
# guess off (leaks are still found).
asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DLARKSPUR_SANITIZE=ON -DLARKSPUR_WERROR=$(LARKSPUR_WERROR) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:intercept_tls_get_addr=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -L 'logic|program'

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DLARKSPUR_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bin/bench_*; do [ -x "$$b" ] || continue; echo "== $$b"; "$$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; done

# What a frame costs beside the floor (one full-view textured quad) under
# Xvfb at 1280x720 (defaults, 500 slots) and 1920x1080 (defaults); see
# scripts/perf for its knobs (PERF_SECONDS, PERF_OTHERS).
perf: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DLARKSPUR_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target larkspur larkspur-floor larkspur_swapcount larkspur-resources
	@scripts/perf $(BENCH_BUILD)

# Two simulated hours of the whole view, headless at 160x120 with 500 slots and
# 100000 footprints in steps of 0.25 s (seed 1): resident memory and the
# largest skin error every ten simulated minutes, and at the start, middle and
# end. Fails if a skin strays from a fresh pose. SOAK_ARGS passes options
# (larkspur-soak --help). Not part of `make test`.
SOAK_ARGS ?=
soak: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DLARKSPUR_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target larkspur-soak
	$(BENCH_BUILD)/bin/larkspur-soak $(SOAK_ARGS)

# Each libFuzzer target for FUZZ_SECONDS from a corpus of generated seeds (kept
# in $(FUZZ_BUILD)/corpus between runs); a finding stops with its crash file.
# The targets' own alerts are silenced (-close_fd_mask=2); libFuzzer's and the
# sanitizers' reports still show.
fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPUR_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@$(FUZZ_BUILD)/bin/fuzz_seeds $(FUZZ_BUILD)/seeds
	@for f in $(FUZZ_BUILD)/bin/fuzz_*; do \
	  name=$${f##*/fuzz_}; [ "$$name" = seeds ] && continue; \
	  corpus=$(FUZZ_BUILD)/corpus/$$name; mkdir -p $$corpus $(FUZZ_BUILD)/findings; \
	  seeds=; [ -d $(FUZZ_BUILD)/seeds/$$name ] && seeds=$(FUZZ_BUILD)/seeds/$$name; \
	  echo "== fuzz_$$name for $(FUZZ_SECONDS) s"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -close_fd_mask=2 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/findings/$$name- $$corpus $$seeds || exit 1; \
	done

# The C++ as .clang-format lays it out: `format` rewrites what differs,
# `format-check` names it and fails (scripts/check-format, which CI runs).
format: deps
	@scripts/check-format --fix

format-check: deps
	@scripts/check-format

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
