# make run    installs what is missing, builds, starts the program (ARGS=song.mp3 passes a file)
# make test   installs what is missing, builds, starts the sound server, runs every test
# make test SANITIZE=1   the same with AddressSanitizer and UBSan, in build-asan
# make bench  builds and runs the benchmarks
# make fuzz   builds the libFuzzer targets with clang and runs each briefly

JOBS     ?= $(shell nproc)
SANITIZE ?= 0
ifeq ($(SANITIZE),1)
BUILD    ?= build-asan
CMAKE_FLAGS += -DTUNEVALE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
else
BUILD    ?= build
endif
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 20
ARGS ?=

.PHONY: all deps configure build run test bench fuzz clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-program $(BUILD)/bin/tunevale $(ARGS)

test: build
	@scripts/with-sound-server ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 600

bench: build
	@scripts/with-sound-server scripts/run-benchmarks $(BUILD)

fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DTUNEVALE_FUZZ=ON -DTUNEVALE_TESTS=OFF -DTUNEVALE_BENCH=OFF -DTUNEVALE_SANITIZE=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan $(FUZZ_BUILD)
