# The front door: every target installs what it needs first, then drives CMake in build/.
BUILD ?= build
TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-sanitize bench install screenshots clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The panel. With ODRA_COM1 unset it talks to the projector simulator on a pseudo-terminal.
run: build
	@scripts/run-panel $(BUILD)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer (leaks included),
# in its own build. Debug: quicker to compile, and Qt's assertions on.
test-sanitize: deps
	@cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DODRA_SANITIZE=ON -DODRA_WERROR=ON \
	  $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-sanitize -j $(JOBS)
	@cd build-sanitize && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

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
