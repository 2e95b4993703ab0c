# The front door: every target installs what it needs first, then drives CMake in build/.
BUILD ?= build
TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench install screenshots clean

all: build

deps:
	@scripts/install-deps

# CMake re-runs itself when its files change; configure by hand only for a new build directory
# or new flags.
configure: deps
	@if [ ! -f $(BUILD)/CMakeCache.txt ] || [ -n "$(CMAKE_FLAGS)" ]; then \
		cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(TYPE) $(CMAKE_FLAGS) >/dev/null; fi

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The panel. With ODRA_COM1 unset it talks to the projector simulator on a pseudo-terminal.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target odra-control odra-projector-sim
	@scripts/run-panel $(BUILD)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench:
	@$(MAKE) --no-print-directory build BUILD=build-release TYPE=Release
	@scripts/run-bench build-release $(BUILD)

# Pictures of the panel for the README, rendered offscreen into docs/.
# The README's pictures: every view, the full window at twice the density, and the window
# talking to the projector simulator.
screenshots: configure
	@cmake --build $(BUILD) -j $(JOBS) --target odra-screenshots odra-projector-sim
	@QT_QPA_PLATFORM=offscreen $(BUILD)/odra-screenshots docs
	@QT_QPA_PLATFORM=offscreen $(BUILD)/odra-screenshots --dense docs
	@QT_QPA_PLATFORM=offscreen $(BUILD)/odra-projector-sim --run $(BUILD)/odra-screenshots --live docs 2>/dev/null

install: build
	@cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)

clean:
	@rm -rf $(BUILD) build-release build-sanitize build-fuzz
