# One entry point for building, testing and running. See README.md.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)

.PHONY: all deps build test test-sanitize fuzz run bench quality format clean deb

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOICE_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) -j $(JOBS)
	@ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

# The playback engine's tests (ctest label playback) under ThreadSanitizer:
# its decode thread and the user-interface thread share buffers and events.
.PHONY: test-thread
test-thread: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOICE_TSAN=ON -DVOICE_BENCH=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target playback_tests playback_allocation_tests \
	  voicefile_thread_tests
	@ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -L playback

# make fuzz FUZZ_SECONDS=300
fuzz: deps
	@CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVOICE_FUZZ=ON -DVOICE_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target voice_fuzz make_fuzz_corpus
	@fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	@$(BUILD)/bin/voice_bench
	@$(BUILD)/bin/playback_bench

# Encoded and decoded speech against its source, and encoding speed, in every
# mode, and under low-frequency trouble; needs espeak-ng and sox.
quality: build
	@bench/encoder_quality.sh $(BUILD)

# vocdec -o DIR on 16 copies of a 10-minute celp80 file with -j 1 and -j 2,
# and the ratio of the wall times (aim: 1.8 on two cores); CPU time and load
# average beside them, since other work on the machine slows -j 2 most.
.PHONY: bench-batch
bench-batch: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD) -j $(JOBS) --target vocdec vocenc
	@bench/batch_decode.sh $(BUILD)

# Only the player and the tool the script reads the recording's length with.
run: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD) -j $(JOBS) --target voiceplayer vocinfo
	@scripts/run-player.sh $(BUILD)

# A Debian package of everything `cmake --install` installs, in $(BUILD)/.
deb: build
	@cd $(BUILD) && cpack -G DEB

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
	rm -rf $(TSAN_BUILD)
