# Front doors. Each target sets up what it needs on a fresh Debian 12 machine first.
#   make demo       build, then limit the bundled example and print the report
#   make test       build everything and run the test suite
#   make bench      build, then run the engine benchmarks and the plug-in formats side by side
#   make test-asan  the test suite under AddressSanitizer and UndefinedBehaviorSanitizer
#   make test-tsan  the test suite under ThreadSanitizer
#   make fuzz       build the libFuzzer targets with clang, replay their corpus and fuzz for a minute

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=

# Paths under the tree are hashed relative to it, so clones and worktrees share ccache hits.
export CCACHE_BASEDIR := $(CURDIR)
LAUNCHER := $(shell command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

.PHONY: all deps configure build test demo bench test-asan test-tsan fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(LAUNCHER) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

DEMO_INPUT := tools/render/example/dnb-hot.flac

# Only the renderer is built, so the demo is quick on a fresh machine.
demo: configure
	cmake --build $(BUILD) --target orvan-render -j $(JOBS)
	@mkdir -p $(BUILD)/demo
	@echo
	$(BUILD)/orvan-render --plot $(BUILD)/demo/dnb-hot-limited.png $(DEMO_INPUT) $(BUILD)/demo/dnb-hot-limited.wav

bench: build
	$(BUILD)/bench/orvan-bench
	$(BUILD)/bench/hosts/orvan-bench-hosts_artefacts/Release/orvan-bench-hosts

# LeakSanitizer reads the suppressions of system libraries' own leaks for every test,
# the tools' checks included.
test-asan:
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan-suppressions.txt $(MAKE) test BUILD=build-asan CMAKE_ARGS="-DORVAN_SANITIZE=address -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVAN_BUILD_BENCH=OFF"

test-tsan:
	$(MAKE) test BUILD=build-tsan CMAKE_ARGS="-DORVAN_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVAN_BUILD_BENCH=OFF"

FUZZ_BUILD ?= build-fuzz
fuzz: deps
	cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(LAUNCHER)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	bash fuzz/run.sh $(FUZZ_BUILD)/orvan-fuzz-state_artefacts/RelWithDebInfo/orvan-fuzz-state

clean:
	rm -rf build build-asan build-tsan build-fuzz
