# Entry points: `make demo`, `make test`, `make dist`. Every target installs
# what is missing (scripts/setup.sh) and builds what is out of date first.

BUILD := build
JOBS ?= 2
CMAKE_GEN := -G Ninja

.PHONY: all setup configure build test bench demo dist probe settings fuzz mutants format clean

all: build

setup:
	@scripts/setup.sh

$(BUILD)/native/build.ninja: | setup
	cmake -S . -B $(BUILD)/native $(CMAKE_GEN)

# The native tests again with AddressSanitizer, UndefinedBehaviorSanitizer
# and the standard library's assertions (the fuzz replays included).
$(BUILD)/native-asan/build.ninja: | setup
	cmake -S . -B $(BUILD)/native-asan $(CMAKE_GEN) -DLUMORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

$(BUILD)/win32/build.ninja: | setup
	cmake -S . -B $(BUILD)/win32 $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

$(BUILD)/win64/build.ninja: | setup
	cmake -S . -B $(BUILD)/win64 $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake

configure: $(BUILD)/native/build.ninja $(BUILD)/native-asan/build.ninja \
           $(BUILD)/win32/build.ninja $(BUILD)/win64/build.ninja

build: configure
	cmake --build $(BUILD)/native -j $(JOBS)
	cmake --build $(BUILD)/native-asan -j $(JOBS)
	cmake --build $(BUILD)/win32 -j $(JOBS)
	cmake --build $(BUILD)/win64 -j $(JOBS)

# One ctest run over the four configurations, so one summary line counts all.
# Under load a Wine program now and then ends without output (seen once in
# several hundred runs, never again when repeated): a failed test runs once
# more, and fails only when it fails twice; --output-on-failure shows both.
test: build
	@printf 'subdirs("native" "native-asan" "win32" "win64")\n' > $(BUILD)/CTestTestfile.cmake
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 600 --repeat until-pass:2

# The benchmark tables: native, then each Windows architecture Wine runs here
# (see docs/performance.md).
bench: build
	scripts/bench.sh $(BUILD)

dist: build
	scripts/dist.sh $(BUILD) dist

demo: build
	scripts/demo.sh $(abspath $(BUILD))

# The camera test program under Wine with the simulated cameras, in the
# throwaway prefix $(BUILD)/probe-prefix (under Xvfb when there is no display).
probe: build
	scripts/probe-run $(abspath $(BUILD))

# The settings window the same way (LumoraSettings.exe); without a display
# the picture is $(BUILD)/settings-screenshot.png.
settings: build
	scripts/probe-run $(abspath $(BUILD)) win64 LumoraSettings

# libFuzzer on every fuzz target of tests/fuzz, FUZZ_SECONDS each (clang, in
# $(BUILD)/fuzz); failing inputs are left in $(BUILD)/fuzz/crashes/NAME/.
FUZZ_SECONDS ?= 120
fuzz:
	@scripts/setup.sh fuzz
	scripts/fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

# The hand-written faults of tests/mutations.txt, one at a time, each built
# (native, in a copy of the tree under $(BUILD)/mutants) and run against the
# native tests: one line per fault (caught by which test, or survived) and
# the kill rate. Not part of `make test`: it takes minutes.
mutants: | setup
	scripts/mutants --build $(BUILD)/mutants

# Formats every C/C++ source of the tree in place with .clang-format.
format: | setup
	git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format -i

clean:
	rm -rf $(BUILD) dist
