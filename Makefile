# The front door: `make run`, `make test`, `make bench`, `make fuzz`,
# `make install` (PREFIX=/usr/local, DESTDIR honoured) and `make uninstall`.
# Each target installs missing packages first (scripts/install-deps).

BUILD        ?= build
ASAN_BUILD   ?= build-asan
FUZZ_BUILD   ?= build-fuzz
JOBS         ?= $(shell nproc)
FUZZ_SECONDS ?= 60
PREFIX       ?= /usr/local
DESTDIR      ?=
# CI treats warnings in our own code as errors.
WERROR       := $(if $(CI),ON,OFF)

CMAKE_FLAGS := -G Ninja -DDAUBRY_WERROR=$(WERROR)

# Cache hits across clones of the project in different folders: paths are
# taken relative to the clone, and the working folder is left out of the hash
# that debug information would otherwise put in it.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
# intercept_tls_get_addr=0: the runtime of GCC 12 takes a dynamic TLS block
# that happens to start 16 bytes into a page for a pre-2.25 glibc header and
# reads the words before it as a range; the leak check's tracer then dies at
# exit ("Tracer caught signal 11") after a test that passed. The blocks are
# those of the display and GL libraries, which hold no pointers of ours.
export ASAN_OPTIONS  := detect_leaks=1:abort_on_error=0:halt_on_error=1:intercept_tls_get_addr=0
export UBSAN_OPTIONS := halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS  := halt_on_error=1:second_deadlock_stack=1

.PHONY: all deps build run install uninstall test test-plain test-asan test-tsan fuzz-smoke bench fuzz clean format format-check

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/daubry $(ARGS)

# The program, its share folder (samples, help page), icons, menu entry and
# manual pages under $(DESTDIR)$(PREFIX). The build's install_manifest.txt
# remembers what was written, for `make uninstall`.
# Only what is installed is built here, not the tests.
install: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target daubry samples icons
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	DESTDIR="$(DESTDIR)" cmake -P cmake/uninstall.cmake $(BUILD)/install_manifest.txt

test: deps format-check test-plain test-asan test-tsan fuzz-smoke

test-plain: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 600

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer;
# any report fails the run.
test-asan:
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DDAUBRY_SANITIZE=ON -DDAUBRY_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 900

# The threading tests (tasks, window message queues, the change history's
# parallel deflate) under ThreadSanitizer.
TSAN_BUILD ?= build-tsan
TSAN_TESTS := tasks_tests window_tests history_tests
test-tsan:
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DDAUBRY_TSAN=ON -DDAUBRY_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	cd $(TSAN_BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 900 -L '^(tasks|shell-window|history)$$'

# Every fuzz target for a short while (20 s each) on its seed corpus.
fuzz-smoke:
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=20

$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DDAUBRY_FUZZ=ON -DDAUBRY_BENCH=OFF -DDAUBRY_TESTS=OFF

fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench:
	@scripts/install-deps --bench
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	scripts/run-benchmarks $(BUILD)

# Our sources, formatted with the committed .clang-format by the clang-format
# that scripts/install-deps installs.
SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)

format:
	clang-format -i $(SOURCES)

format-check:
	@clang-format --dry-run --Werror $(SOURCES) || \
	  { echo "Sources are not formatted: run make format" >&2; exit 1; }

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
