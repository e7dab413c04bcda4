# The one door for people and CI. CMake does the real work; every target first makes sure
# the Debian packages are present.

BUILD_DIR   ?= build
ASAN_DIR    ?= build-asan
RELEASE_DIR ?= build-release
DEMO_DIR    ?= build-demo
PREFIX      ?= /usr/local
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=
PYTHON      ?= /usr/bin/python3

CONFIGURE = cmake -G Ninja -Wno-dev $(CMAKE_FLAGS)

TSAN_DIR    ?= build-tsan
CLANG_DIR   ?= build-clang
FUZZ_DIR    ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = fuzz_paths fuzz_strings fuzz_fixed_ref fuzz_var_float

.PHONY: all deps test demo bench asan tsan clang format-check fuzz valgrind install clean

all: test

deps:
	@./scripts/deps.sh

$(BUILD_DIR)/build.ninja: | deps
	$(CONFIGURE) -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug

test: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The examples in an optimised build of their own, so that their figures are the real ones.
demo: deps
	$(CONFIGURE) -S . -B $(DEMO_DIR) -DCMAKE_BUILD_TYPE=Release -DLOOM_BUILD_TESTS=OFF
	cmake --build $(DEMO_DIR) -j $(JOBS) --target demo

asan: deps
	$(CONFIGURE) -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DLOOM_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

# ThreadSanitizer on the tests that run threads.
tsan: deps
	$(CONFIGURE) -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DLOOM_SANITIZE_THREAD=ON
	cmake --build $(TSAN_DIR) -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --test-dir $(TSAN_DIR) --output-on-failure --no-tests=error -R 'Threads|ReleaseText'

# The whole suite built by clang, warnings as errors: the second compiler catches what the first
# lets through, and the reports must read alike under both.
clang: deps
	./scripts/deps.sh clang
	CC=clang CXX=clang++ $(CONFIGURE) -S . -B $(CLANG_DIR) -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(CLANG_DIR) -j $(JOBS)
	ctest --test-dir $(CLANG_DIR) --output-on-failure -j $(JOBS)

# Every tracked C++ source as .clang-format has it; prints what differs, changes nothing.
format-check: deps
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

# libFuzzer targets under ASan+UBSan, each run for FUZZ_SECONDS on its committed seeds (new
# inputs go to the build directory). A finding is a failed run.
fuzz: deps
	./scripts/deps.sh fuzz
	CC=clang CXX=clang++ $(CONFIGURE) -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DLOOM_SANITIZE=ON -DLOOM_BUILD_FUZZ=ON -DLOOM_BUILD_TESTS=OFF -DLOOM_BUILD_EXAMPLES=OFF \
	  -DLOOM_WERROR=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$t; \
	  echo "=== $$t ($(FUZZ_SECONDS) s)"; \
	  ASAN_OPTIONS=halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    $(FUZZ_DIR)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    $(FUZZ_DIR)/corpus/$$t fuzz/corpus/$$t; \
	done

# The unit tests that do not start other processes, under valgrind's memcheck.
valgrind: deps $(BUILD_DIR)/build.ninja
	./scripts/deps.sh valgrind
	cmake --build $(BUILD_DIR) -j $(JOBS)
	$(PYTHON) scripts/valgrind_tests.py $(BUILD_DIR) tests

bench: deps
	$(CONFIGURE) -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DLOOM_BUILD_TESTS=OFF \
	  -DLOOM_BUILD_BENCH=ON
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target bench

install: deps
	$(CONFIGURE) -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DLOOM_BUILD_TESTS=OFF \
	  -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(RELEASE_DIR) -j $(JOBS)
	cmake --install $(RELEASE_DIR)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(CLANG_DIR) $(FUZZ_DIR) $(RELEASE_DIR) $(DEMO_DIR)
