# Convenience targets over CMake. `make test` builds twice: a release build
# that runs every suite and a build with AddressSanitizer and
# UndefinedBehaviorSanitizer that runs every suite without the window toolkit.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

.PHONY: all build asan test test-release test-asan bench run sample clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPLOTVANE_SANITIZE=ON -DPLOTVANE_BUILD_BENCH=OFF -DPLOTVANE_BUILD_QT=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test: test-release test-asan

test-release: build
	cd $(BUILD) && ctest $(CTEST_FLAGS)

test-asan: asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest $(CTEST_FLAGS) -L 'core|import|app|cli'

bench: build
	./bench/run-benchmarks.sh $(BUILD)

# The converter's main job on a generated sample map.
run: build
	./scripts/run-sample.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
