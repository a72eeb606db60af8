# Two commands do everything on a fresh Debian 12 machine (as root or with sudo):
#   make run    installs what is missing, builds and starts Yotenna
#   make test   installs what is missing, builds and runs every test headless
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
FUZZ_SECONDS ?= 60

.PHONY: all setup build run test test-asan fuzz bench screenshots format check-format clean

all: build

setup:
	@bash scripts/setup.sh

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DYOTENNA_WERROR=ON

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/src/yotenna

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) -LE slow

test-asan: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DYOTENNA_WERROR=ON -DYOTENNA_SANITIZE=ON -DYOTENNA_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS) -LE slow

fuzz: setup
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DYOTENNA_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_data_file
	mkdir -p $(FUZZ_BUILD)/corpus
	cp -n tests/data/*.dat $(FUZZ_BUILD)/corpus/ 2>/dev/null || true
	$(FUZZ_BUILD)/fuzz/fuzz_data_file -max_total_time=$(FUZZ_SECONDS) -timeout=5 -rss_limit_mb=2048 \
	  -max_len=65536 -print_final_stats=1 $(FUZZ_BUILD)/corpus

bench: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/bench_views

screenshots: build
	bash scripts/screenshots.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

check-format:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
