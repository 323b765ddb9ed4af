# Entry points: `make demo` runs the main job on the bundled sample,
# `make test` builds and runs the whole test suite, `make gui` opens the
# sample in the desktop host. All set up the machine first.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo gui clean

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

clean:
	rm -rf $(BUILD)
