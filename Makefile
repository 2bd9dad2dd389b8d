# The two commands of the README: `make run` and `make test` (as root on a fresh Debian 12,
# they install what is missing first).
BUILD      ?= build
# The 32-bit program (32-bit Windows 7 and later), from the same sources.
BUILD_X86  ?= build-x86
TEST_JOBS  ?= 2
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 300

.PHONY: all setup configure build test fuzz run release format clean

all: build

setup:
	scripts/setup.sh

configure: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake $(CMAKE_ARGS)
	cmake -S . -B $(BUILD_X86) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-i686.cmake \
	  -DBELVANE_UNIT_TESTS=OFF -DBELVANE_BENCH=OFF $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD)
	cmake --build $(BUILD_X86)

# Every suite on the x86_64 build, then the black-box suites and the import check on the 32-bit
# one (its own Wine side); both run even when the first fails.
test: build
	status=0; \
	scripts/with-wine ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j $(TEST_JOBS) || status=1; \
	scripts/with-wine ctest --test-dir $(BUILD_X86) --output-on-failure --no-tests=error -j $(TEST_JOBS) || status=1; \
	exit $$status

# Every libFuzzer target for FUZZ_SECONDS seconds each (native clang build, no Wine), with
# executions per second and findings per target.
fuzz: setup
	scripts/fuzz.sh run --seconds $(FUZZ_SECONDS) --out $(BUILD)/fuzz

run: build
	scripts/run-demo.sh $(BUILD)

# The zips for Windows users, with the same contents (the program, the demo's announcements and
# the Chinese guide): build/release/Belvane-<version>-x64.zip and Belvane-<version>-x86.zip.
release: build
	scripts/make-release.sh $(BUILD)
	scripts/make-release.sh $(BUILD_X86) $(BUILD)/release

format:
	find app audio bench platform resources runtime tests ui -name '*.cpp' -o -name '*.h' | xargs -r clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_X86)
