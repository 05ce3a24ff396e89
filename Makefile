# Tessary: one entry point for setting up, building, running, testing and benchmarking.
# Every target installs what it needs first (scripts/bootstrap is idempotent).

JOBS      ?= $(shell nproc)
SAMPLE    ?= build/sample-library
GENERATOR := build/release/bench/tessary-generate-library

.PHONY: all bootstrap build run test bench clean

all: build

bootstrap:
	@scripts/bootstrap

build/release/build.ninja: CMakeLists.txt | bootstrap
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARY_BENCH=ON

build: bootstrap build/release/build.ninja
	cmake --build build/release -j $(JOBS)
	@echo "built build/release/tessary"

# Opens Tessary on a generated sample library of a few hundred files. Until the window is part
# of the build, this prints what the scanner finds there.
run: build
	@if [ ! -f $(SAMPLE)/.complete ]; then \
	  rm -rf $(SAMPLE) && $(GENERATOR) --files 300 --seed 1 $(SAMPLE) && touch $(SAMPLE)/.complete; \
	fi
	build/release/tessary scan $(SAMPLE)

build/asan/build.ninja: CMakeLists.txt | bootstrap
	cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARY_SANITIZE=ON

# Builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test through CTest.
test: bootstrap build/asan/build.ninja
	cmake --build build/asan -j $(JOBS)
	cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp \
	  ctest --output-on-failure -j $(JOBS) --timeout 600
	JOBS=$(JOBS) scripts/fuzz

bench: build
	scripts/bench

clean:
	rm -rf build
