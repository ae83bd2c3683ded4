# Refloom: `make run` builds and starts the program, `make test` runs every test,
# `make install` installs it (PREFIX, DESTDIR), `make deb` builds a Debian package.
# They install missing Debian packages first (scripts/setup-deps.sh).

BUILD         ?= build
ASAN_BUILD    ?= build-asan
FUZZ_BUILD    ?= build-fuzz
RELEASE_BUILD ?= build-release
DEB_BUILD     ?= build-deb
CHECK_BUILDS  ?= build-check
JOBS          ?= 2
FUZZ_SECONDS  ?= 120
FUZZ_KEEP     ?=
MINUTES       ?= 30
PREFIX        ?= /usr/local
DESTDIR       ?=

# Development builds stop at any warning; a plain cmake configure does not.
DEV_FLAGS = -DREFLOOM_WERROR=ON

.PHONY: all deps build run test check-format format check-release check-builds install uninstall deb asan fuzz soak bench screenshots clean

all: build

deps:
	@sh scripts/setup-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(DEV_FLAGS) >/dev/null

# Reconfigures with the development flags, so that a build directory made
# by a plain cmake call also stops at warnings here.
build: deps $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) $(DEV_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# The X resources of data/app-defaults/Refloom (fonts) are used from the
# source tree.
run: build
	XAPPLRESDIR=$(CURDIR)/data/app-defaults $(BUILD)/src/ui/refloom

test: build check-release
	sh scripts/with-display.sh ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The code's style (.clang-format) with the pinned clang-format; `make
# format` applies it.
check-format:
	@sh scripts/setup-deps.sh --format
	sh scripts/check-format.sh

format:
	@sh scripts/setup-deps.sh --format
	sh scripts/check-format.sh --fix

# An optimised GCC build (-O3) finds warnings the RelWithDebInfo build does not.
check-release: deps
	CC=gcc CXX=g++ cmake -S . -B $(RELEASE_BUILD) -DCMAKE_BUILD_TYPE=Release $(DEV_FLAGS) >/dev/null
	cmake --build $(RELEASE_BUILD) -j $(JOBS)

# Every other build type with GCC, and every build type with clang.
check-builds: check-release
	@sh scripts/setup-deps.sh --clang
	@set -e; for compiler in gcc:g++ clang:clang++; do \
	  cc=$${compiler%%:*}; cxx=$${compiler#*:}; \
	  for type in Debug Release RelWithDebInfo MinSizeRel; do \
	    [ $$cc = gcc ] && [ $$type = Release ] && continue; \
	    dir=$(CHECK_BUILDS)/$$cc-$$type; \
	    echo "== $$cc $$type"; \
	    CC=$$cc CXX=$$cxx cmake -S . -B $$dir -DCMAKE_BUILD_TYPE=$$type $(DEV_FLAGS) >/dev/null; \
	    cmake --build $$dir -j $(JOBS) >$$dir.log 2>&1 || { tail -n 40 $$dir.log; exit 1; }; \
	  done; \
	done; echo "all build types build with GCC and clang"

# Installs under PREFIX (staged under DESTDIR when given); the list of what
# was installed, DESTDIR included, is kept for `make uninstall`.
install: deps $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) $(DEV_FLAGS) -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target refloom refloom-convert man_pages
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)
	awk -v destdir="$(DESTDIR)" '{ print destdir $$0 }' $(BUILD)/install_manifest.txt >$(BUILD)/installed-files.txt

uninstall:
	@test -f $(BUILD)/installed-files.txt || { echo "nothing installed from $(BUILD)"; exit 1; }
	@while IFS= read -r file; do \
	  if [ -f "$$file" ] || [ -L "$$file" ]; then echo "removing $$file"; rm -f "$$file"; fi; \
	done < $(BUILD)/installed-files.txt
	@rm -f $(BUILD)/installed-files.txt

# A Debian binary package of the programs, built as a distribution would
# (Release, no -Werror, no tests), left in $(DEB_BUILD).
deb: deps
	@sh scripts/setup-deps.sh --deb
	cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DREFLOOM_BUILD_TESTS=OFF >/dev/null
	cmake --build $(DEB_BUILD) -j $(JOBS)
	cd $(DEB_BUILD) && cpack -G DEB
	@ls $(DEB_BUILD)/*.deb

# AddressSanitizer + UndefinedBehaviorSanitizer build and its test run.
asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DREFLOOM_SANITIZE=ON $(DEV_FLAGS) >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	sh scripts/with-display.sh ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# libFuzzer targets under the sanitizers; each runs FUZZ_SECONDS seconds,
# starting from fuzz/seeds and fuzz/corpus. FUZZ_KEEP=1 merges what the runs
# found back into fuzz/corpus (small inputs only), for the next run.
fuzz:
	@sh scripts/setup-deps.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DREFLOOM_FUZZ=ON $(DEV_FLAGS) >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	sh scripts/run-fuzzers.sh $(if $(filter 1,$(FUZZ_KEEP)),--keep) $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Random command sequences through the real window for MINUTES minutes.
soak: deps $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) $(DEV_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target ui_random_tests ui_random_utf8_tests
	sh scripts/soak.sh $(BUILD) $(MINUTES)

bench: build
	sh scripts/run-benchmarks.sh $(BUILD)

screenshots: build
	sh scripts/with-display.sh sh scripts/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(RELEASE_BUILD) $(DEB_BUILD) $(CHECK_BUILDS)
