# Entry points: `make demo` runs the main job on the bundled sample,
# `make test` builds and runs the whole test suite, `make gui` opens the
# sample in the desktop host. All set up the machine first.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test demo gui fuzz bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo $(BUILD)

# The desktop host on a copy of the sample (saving never touches the original).
gui: build
	@mkdir -p $(BUILD)/gui
	@cp -n examples/sample-mine.json $(BUILD)/gui/sample-mine.json 2>/dev/null || true
	@$(BUILD)/bin/jdhost-gui $(BUILD)/gui/sample-mine.json

# Each fuzzer for FUZZ_SECONDS seconds under ASan and UBSan, in its own
# clang build (build-fuzz); the normal build does not need clang.
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) scripts/fuzz

# Timings, never part of make test: the hot routines under Google Benchmark,
# the catalogue layer's model-list query against sqlite3 and psql
# (scripts/bench-catalogue), then jdhost against floors measured in the same
# run (scripts/bench; BENCH_SIZES="10000 100000" skips the 1M maps).
# docs/performance.md reads them.
bench: build
	@$(BUILD)/bin/jdbench
	@scripts/bench-catalogue $(BUILD)
	@scripts/bench $(BUILD)

clean:
	rm -rf $(BUILD)
