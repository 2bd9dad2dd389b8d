# The two commands of the README: `make run` and `make test` (as root on a fresh Debian 12,
# they install what is missing first).
BUILD      ?= build
TEST_JOBS  ?= 2
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 300

.PHONY: all setup configure build test fuzz run release format clean

all: build

setup:
	scripts/setup.sh

configure: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD)

test: build
	scripts/with-wine ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j $(TEST_JOBS)

# Every libFuzzer target for FUZZ_SECONDS seconds each (native clang build, no Wine), with
# executions per second and findings per target.
fuzz: setup
	scripts/fuzz.sh run --seconds $(FUZZ_SECONDS) --out $(BUILD)/fuzz

run: build
	scripts/run-demo.sh $(BUILD)

# The zip for Windows users: build/release/Belvane-<version>.zip (the program, the demo's
# announcements and the Chinese guide).
release: build
	scripts/make-release.sh $(BUILD)

format:
	find app audio bench platform resources runtime tests ui -name '*.cpp' -o -name '*.h' | xargs -r clang-format -i

clean:
	rm -rf $(BUILD)
