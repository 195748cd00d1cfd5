# Every target installs what is missing first, so that a fresh Debian 12
# machine needs nothing but these commands.

BUILD      ?= build
BUILD_SAN  ?= build-sanitize
BUILD_FUZZ ?= build-fuzz
# Seconds each fuzz target runs in `make fuzz`.
FUZZ_SECONDS ?= 20
FUZZ_TARGETS = enregistrements nombres liste fichiermaj nomswindows preuve
CMAKE_ARGS ?=

.PHONY: all deps build test test-sanitize fuzz demo screenshots bench clean package

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 300 -j2

$(BUILD_SAN)/build.ninja: | deps
	cmake -S . -B $(BUILD_SAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELORINE_SANITIZE=ON $(CMAKE_ARGS)

test-sanitize: deps $(BUILD_SAN)/build.ninja
	cmake --build $(BUILD_SAN)
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure --timeout 600 -j2

$(BUILD_FUZZ)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELORINE_FUZZ=ON $(CMAKE_ARGS)

# Each fuzz target for FUZZ_SECONDS over its corpus in tests/fuzz/corpus/.
fuzz: deps $(BUILD_FUZZ)/build.ninja
	cmake --build $(BUILD_FUZZ) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	scripts/fuzz $(BUILD_FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# The demo and the package build the program alone, not the tests.
demo: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target velorine-maj
	scripts/demo $(BUILD)

screenshots: build
	scripts/captures $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ)

bench: build
	bench/run $(BUILD)

# The Debian package, into $(BUILD)/.
package: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target velorine-maj-paquet pageman journalpaquet
	cd $(BUILD) && cpack
