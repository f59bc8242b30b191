# Convenience targets over CMake. `make test` is one build with
# AddressSanitizer and UndefinedBehaviorSanitizer (scripts/test.sh) that
# runs every suite, the window's included, and prints the build and test
# times; `make run` and `make bench` use an optimised release build.
JOBS ?= $(shell nproc)
BUILD ?= build
CHECK_BUILD ?= build-check
# ccache where it is installed.
CCACHE := $(shell command -v ccache 2>/dev/null)
LAUNCHER := $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE))

.PHONY: all build test bench run clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(LAUNCHER)
	cmake --build $(BUILD) -j $(JOBS)

test:
	JOBS=$(JOBS) ./scripts/test.sh $(CHECK_BUILD)

bench: build
	./bench/run-benchmarks.sh $(BUILD)

# The converter's main job on a generated sample map.
run: build
	./scripts/run-sample.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(CHECK_BUILD)
