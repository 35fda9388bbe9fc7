# The front door: `make demo`, `make check`, `make test`, `make run`, `make package`,
# `make bench`, `make fuzz`, `make windows`, `make test-windows`, `make release`. Each installs what it needs on a
# fresh Debian 12 machine first.
BUILD     ?= build
JOBS      ?= 2
CMAKE_ARGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKD7_WARNINGS_AS_ERRORS=ON

.PHONY: all deps build demo run check test package clean bench

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD)/tools/kd7demo; \
	else echo "没有图形显示: 无显示演示 (headless demo)"; \
	  $(BUILD)/tools/kd7demo --headless --picture $(BUILD)/demo/kd7demo.png; fi

run: build
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: 没有图形显示 (no display: DISPLAY is not set); 请在桌面上运行, 或用 make demo 看无显示的演示."; \
	  exit 1; fi
	$(BUILD)/kd7load

# The everyday loop: the format check, the build and the CTest suites, without
# the package, the sanitizer rebuild or the virtual machine of `make test`.
check: format-check build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -E '^package$$'

test: format-check build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory sanitized-test
	@$(MAKE) --no-print-directory hwtest

# The real window on real serial drivers (ftdi_sio, 8250) in a small virtual
# machine, with the simulated device on this side of each emulated line.
.PHONY: hwtest
hwtest: build
	tests/hw/hwtest.sh $(BUILD)

# Every C++ source in one formatting (.clang-format); `make format` applies it.
# The sources are git's list, or, in a release's source archive (no git), every
# .cpp and .h outside the build folders.
CXX_SOURCES = { git ls-files '*.cpp' '*.h' 2>/dev/null || \
	find . -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print; }
.PHONY: format format-check
format-check:
	@tools/install-deps.sh --with-extras clang-format
	$(CXX_SOURCES) | xargs -r clang-format --dry-run --Werror
	@echo "format-check: every source is formatted"

format:
	@tools/install-deps.sh --with-extras clang-format
	$(CXX_SOURCES) | xargs -r clang-format -i

# ---- Sanitizers and fuzzing ------------------------------------------------------
# `make test` then builds every program under AddressSanitizer and UBSan in
# $(ASAN_BUILD) and runs the tests again there (not the package test, which
# builds and installs a .deb). Leak detection stays on; a system library's
# leak at exit would be suppressed in tests/lsan.supp.
ASAN_BUILD ?= build-asan
ASAN_CMAKE_ARGS ?= -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DKD7_SANITIZE=ON \
	-DKD7_WARNINGS_AS_ERRORS=ON
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# `make fuzz` builds the fuzz targets with clang and libFuzzer in $(FUZZ_BUILD)
# and runs each for FUZZ_SECONDS; what they find new stays in $(FUZZ_BUILD)/corpus.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_CMAKE_ARGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKD7_WARNINGS_AS_ERRORS=ON -DCMAKE_CXX_COMPILER=clang++ -DKD7_LIBFUZZER=ON

.PHONY: sanitized-test fuzz fuzz-deps

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja $(ASAN_CMAKE_ARGS)

sanitized-test: deps $(ASAN_BUILD)/build.ninja
	$(SANITIZER_ENV) cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j $(JOBS) -E '^package$$'

fuzz-deps:
	@tools/install-deps.sh --fuzz

$(FUZZ_BUILD)/build.ninja:
	cmake -S . -B $(FUZZ_BUILD) -G Ninja $(FUZZ_CMAKE_ARGS)

fuzz: fuzz-deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_loader fuzz_download
	tests/fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) loader download
# ---- end of sanitizers and fuzzing -----------------------------------------------

package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(WINDOWS_BUILD)

# ---- Benchmark -------------------------------------------------------------------
# `make bench` builds kd7bench in its own Release build ($(BENCH_BUILD), with
# KD7_BUILD_BENCH on) and runs it headless: download speed and cost against
# the simulated device and a minimal reference host, the paced 9600-baud line,
# answer latency, the loader and the progress display. It prints a table and
# writes the same figures to $(BENCH_JSON). BENCH_ARGS=--quick is a short run.
BENCH_BUILD ?= build-bench
BENCH_JSON ?= $(BENCH_BUILD)/bench.json
BENCH_ARGS ?=

bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKD7_BUILD_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target kd7bench
	QT_QPA_PLATFORM=offscreen $(BENCH_BUILD)/bench/kd7bench --json $(BENCH_JSON) $(BENCH_ARGS)
# ---- end of benchmark --------------------------------------------------------------

# ---- Windows edition -------------------------------------------------------------
# `make windows` cross-builds kd7load.exe for 32-bit Windows (7 SP1 to 11) with
# MinGW-w64 and Qt 5.15 (built from Debian's source once, then kept in
# ~/.cache/kd7load) and makes the installer $(WINDOWS_BUILD)/kd7load-VERSION-setup.exe.
# `make test-windows` checks what it ships loads on Windows 7, then runs it
# under 32-bit Wine as Windows 7 and as Windows 10: the core test suites, the
# window on COM ports wired to the simulated device, and the installer.
WINDOWS_BUILD ?= build-windows

.PHONY: windows test-windows

windows: build
	tools/windows/build.sh $(WINDOWS_BUILD) $(BUILD)

test-windows: windows
	tools/windows/test.sh $(WINDOWS_BUILD) $(BUILD)
# ---- end of Windows edition -------------------------------------------------------

# ---- Releases ----------------------------------------------------------------------
# `make release` puts every file of a release in build/release/, built from the
# commit checked out: the Debian packages for amd64 and arm64 (cross-built with
# Debian's arm64 Qt 6), the source, the Windows installer and zip with their
# Qt's source, SHA256SUMS and the version's release notes from CHANGELOG.md.
# KD7_RELEASE_WINDOWS=no leaves the Windows files out.
# `make check-reproducible` runs it in two clones in other folders and compares
# their SHA256SUMS, showing each difference with diffoscope.
# `make test-release` tries each file where it is installed: the packages in
# clean Debian 12, 13 and testing chroots (arm64 through qemu-user).
.PHONY: release check-reproducible test-release

release:
	tools/release/release.sh

check-reproducible:
	tools/release/check-reproducible.sh

test-release: release build
	tools/release/test-release.sh build/release $(BUILD)
# ---- end of releases ---------------------------------------------------------------
