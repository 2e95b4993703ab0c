# SPDX-License-Identifier: MIT
# The front door: every target installs what it needs first, then drives CMake in build/.
BUILD ?= build
TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

# What `make install` and `make package` build and install: the programs, their manual pages
# and the changelog.
PROGRAMS := odra-control odra odra-projector-sim odrad odra-man odra-changelog

.PHONY: all deps configure build run test test-sanitize fuzz soak bench install package \
	screenshots clean

all: build

# What building and testing need; fuzzing and packaging add their own tools below.
deps:
	@ODRA_BUILD=$(BUILD) scripts/install-deps build

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

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer (leaks included),
# in its own build, of the programs and tests only. Debug: quicker to compile, and Qt's assertions
# on.
test-sanitize:
	@ODRA_BUILD=build-sanitize scripts/install-deps build
	@cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DODRA_SANITIZE=ON -DODRA_WERROR=ON \
	  -DODRA_TOOLS=OFF \
	  $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-sanitize -j $(JOBS)
	@cd build-sanitize && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# libFuzzer targets, built by clang in build-fuzz, each run for FUZZ_SECONDS. New inputs go to
# build-fuzz/corpus, the seeds in fuzz/corpus stay as they are; a failing input is kept in
# build-fuzz/artifacts and its log in build-fuzz/<target>.log.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_traffic fuzz_decoder fuzz_telnet fuzz_session fuzz_pjlink
fuzz:
	@scripts/install-deps fuzz
	@cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DODRA_FUZZ=ON -DODRA_TESTS=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@mkdir -p build-fuzz/artifacts
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t; \
	  case $$t in fuzz_session) extra="-len_control=0 -max_len=2048";; *) extra="";; esac; \
	  echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	  QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp \
	    build-fuzz/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $$extra \
	    -artifact_prefix=build-fuzz/artifacts/$$t- build-fuzz/corpus/$$t fuzz/corpus/$$t \
	    >build-fuzz/$$t.log 2>&1 || { tail -n 60 build-fuzz/$$t.log; exit 1; }; \
	  grep -E '^#[0-9]+[[:space:]]+DONE' build-fuzz/$$t.log | sed 's/^/  /'; \
	done

# The panel holding a 5 ms menu arrow against the noisy simulator for SOAK_MINUTES: memory at
# the start and the end, and every send counted at both ends. Not part of CI.
SOAK_MINUTES ?= 10
soak: configure
	@cmake --build $(BUILD) -j $(JOBS) --target odra-soak odra-projector-sim
	@$(BUILD)/odra-soak --minutes $(SOAK_MINUTES) --noise 200 --log $(BUILD)/soak-sim.log

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

# Builds only what it installs (no tests, no benchmarks), under /usr/local unless PREFIX says.
install: configure
	@cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS)
	@cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)

# $(BUILD)/odra-control_<version>_<arch>.deb, then checked as a distribution would check it.
# Reuses the build directory, so after `make test` it only packs.
package: configure
	@scripts/install-deps package
	@cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS)
	@cd $(BUILD) && cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
	@scripts/check-package $$(ls -t $(BUILD)/odra-control_*.deb | head -n 1)

clean:
	@rm -rf $(BUILD) build-release build-sanitize build-fuzz
