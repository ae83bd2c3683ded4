# Refloom: `make run` builds and starts the program, `make test` runs every test.
# Both install missing Debian packages first (scripts/setup-deps.sh).

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
FUZZ_SECONDS ?= 120

.PHONY: all deps build run test asan fuzz bench screenshots clean

all: build

deps:
	@sh scripts/setup-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The X resources of data/app-defaults/Refloom (fonts) are used from the
# source tree.
run: build
	XAPPLRESDIR=$(CURDIR)/data/app-defaults $(BUILD)/src/ui/refloom

test: build
	sh scripts/with-display.sh ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# AddressSanitizer + UndefinedBehaviorSanitizer build and its test run.
asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DREFLOOM_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	sh scripts/with-display.sh ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# libFuzzer targets under the sanitizers; each runs FUZZ_SECONDS seconds.
fuzz:
	@sh scripts/setup-deps.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DREFLOOM_FUZZ=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	sh scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	sh scripts/run-benchmarks.sh $(BUILD)

screenshots: build
	sh scripts/with-display.sh sh scripts/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
