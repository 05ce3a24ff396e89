# Tessary: one entry point for setting up, building, running, testing and benchmarking.
# Every target installs what it needs first (scripts/bootstrap is idempotent).

JOBS      ?= $(shell nproc)
SAMPLE    ?= build/sample-library
GENERATOR := build/release/bench/tessary-generate-library

.PHONY: all bootstrap build sample run screenshots test bench clean

all: build

bootstrap:
	@scripts/bootstrap

build/release/build.ninja: CMakeLists.txt | bootstrap
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARY_BENCH=ON

build: bootstrap build/release/build.ninja
	cmake --build build/release -j $(JOBS)
	@echo "built build/release/tessary"

$(SAMPLE)/.complete: | build
	rm -rf $(SAMPLE) && $(GENERATOR) --files 300 --seed 1 $(SAMPLE) && touch $(SAMPLE)/.complete

sample: build $(SAMPLE)/.complete

# Opens Tessary on a generated sample library of a few hundred files (demo mode: nothing is
# remembered). Without a graphical session, tessary says so in one line and exits with status 1.
run: sample
	@TESSARY_DEMO_PATH=$(CURDIR)/$(SAMPLE) build/release/tessary --demo

# The window on the sample library, light and dark, grid and list, under a virtual display.
screenshots: sample
	scripts/screenshots build/release $(SAMPLE)

build/asan/build.ninja: CMakeLists.txt | bootstrap
	cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARY_SANITIZE=ON

# Checks that the bootstrap installs everything the build and the scripts use, builds with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs every test through CTest.
test: bootstrap build/asan/build.ninja
	scripts/check-dependencies build/asan
	cmake --build build/asan -j $(JOBS)
	cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp \
	  ctest --output-on-failure -j $(JOBS) --timeout 600
	JOBS=$(JOBS) scripts/fuzz

bench: build
	scripts/bench

clean:
	rm -rf build

# Installs Tessary under PREFIX (default /usr/local), staged below DESTDIR when given: the
# program, its desktop entry, D-Bus service, metainfo, icons, desktop search providers and
# manual page.
PREFIX ?= /usr/local
.PHONY: install package
install: build
	DESTDIR="$(DESTDIR)" cmake --install build/release --prefix "$(PREFIX)"

# Builds the Debian package build/package/tessary_VERSION_ARCH.deb (installs under /usr) and
# checks that its Depends and Recommends bring in everything the programs load.
package: build
	cd build/release && cpack -G DEB -B $(CURDIR)/build/package
	scripts/check-package-depends "$$(ls -t build/package/tessary_*.deb | head -n 1)"
