# Two commands do everything on a fresh Debian 12 machine (as root or with sudo):
#   make run    installs what building and running need, builds and starts Yotenna
#   make test   installs what the tests need as well, builds and runs every test headless
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
FUZZ_SECONDS ?= 60
PREFIX     ?= /usr/local
SCALE      ?= 1
# A compiler cache, where one is installed, makes rebuilds of other checkouts cheap.
LAUNCHER   := $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: all setup setup-test setup-desktop setup-package build run test test-desktop test-orca \
        test-asan fuzz bench screenshots \
        install package check-package format check-format clean

all: build

# What building and running need; the test and package targets add their own sets.
setup:
	@bash scripts/setup.sh run

setup-test:
	@bash scripts/setup.sh test

setup-desktop:
	@bash scripts/setup.sh desktop

setup-package:
	@bash scripts/setup.sh package

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DYOTENNA_WERROR=ON $(LAUNCHER)

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# The program alone: `make run` builds no test.
run: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target yotenna
	$(BUILD)/src/yotenna

# The slow real-clock check and the package check (it installs the .deb, so it needs root) are
# left out; run them with `ctest -L slow` and `make check-package`.
test: setup-test build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) -LE 'slow|package|orca'

# On a real desktop: a headless GNOME Shell 43 (Xwayland), PulseAudio with a null sink, GNOME's
# dark style. About two minutes; figures and pictures in $(BUILD)/desktop-test/.
test-desktop: setup-desktop build
	bash tests/desktop/run.sh $(BUILD)
	cd $(BUILD) && ctest --output-on-failure -L orca

# Orca, the screen reader, walks every window of the real program on a private desktop and the
# test checks what it says at each key (also part of `make test-desktop`, which CI runs); what it said is left in
# $(BUILD)/tests/desktop/orca/orca_transcript.txt.
test-orca: setup-desktop build
	cd $(BUILD) && ctest --output-on-failure -L orca

# Installs the program, its desktop entry, icons and metainfo under PREFIX (default /usr/local);
# DESTDIR works as usual for staging.
install: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target yotenna
	cmake --install $(BUILD) --prefix $(PREFIX) --component yotenna

# The Debian package yotenna_<version>_<arch>.deb in $(BUILD).
package: setup-package $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target yotenna
	cd $(BUILD) && cpack -G DEB

# Builds the package, installs it with apt, checks the installed files, removes it again.
check-package: setup-package
	bash scripts/check_package.sh $(BUILD)

test-asan: setup-test
	cmake -S . -B $(ASAN_BUILD) $(LAUNCHER) -DCMAKE_BUILD_TYPE=Debug -DYOTENNA_WERROR=ON -DYOTENNA_SANITIZE=ON -DYOTENNA_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS) -LE 'slow|package|orca'

# Every fuzz target in turn; FUZZ_SECONDS is the whole run, shared equally between them. The
# data files of tests/data seed the reader's corpus, tests/data/ics the import's.
FUZZ_TARGETS := fuzz_data_file fuzz_ical_import fuzz_search fuzz_editor_input fuzz_cp932
fuzz: setup-test
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DYOTENNA_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(FUZZ_TARGETS)
	mkdir -p $(addprefix $(FUZZ_BUILD)/corpus/,$(FUZZ_TARGETS))
	cp -n tests/data/*.dat $(FUZZ_BUILD)/corpus/fuzz_data_file/ 2>/dev/null || true
	cp -n tests/data/ics/*.ics $(FUZZ_BUILD)/corpus/fuzz_ical_import/ 2>/dev/null || true
	set -e; share=$$(( $(FUZZ_SECONDS) / $(words $(FUZZ_TARGETS)) )); [ $$share -ge 1 ] || share=1; \
	for target in $(FUZZ_TARGETS); do \
	  echo "== $$target ($$share s)"; \
	  $(FUZZ_BUILD)/fuzz/$$target -max_total_time=$$share -timeout=10 -rss_limit_mb=2048 \
	    -max_len=65536 -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$target \
	    > $(FUZZ_BUILD)/$$target.log 2>&1 || { tail -n 40 $(FUZZ_BUILD)/$$target.log; exit 1; }; \
	  grep -E "^(stat::number_of_executed_units|stat::average_exec_per_sec|#[0-9]+ +DONE)" \
	    $(FUZZ_BUILD)/$$target.log; \
	done

# The generated data files (100,000 and 1,000,000 entries) go to a folder on the build's disk,
# where an fsync costs what it costs the user; then the operations run again on XFS and Btrfs
# images through a loop device (root only), where unchanged blocks are shared.
bench: setup-test build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/bench_views
	$(BUILD)/bench/bench_koyomi
	rm -rf $(BUILD)/bench-data && mkdir -p $(BUILD)/bench-data
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/bench_operations $(BUILD)/bench-data
	$(BUILD)/bench/bench_program $(BUILD)/src/yotenna $(BUILD)/bench-data/b100000.dat \
	  $(BUILD)/bench-data/b1000000.dat
	rm -rf $(BUILD)/bench-data
	bash scripts/bench_shared_extents.sh $(BUILD)/bench/bench_operations $(CURDIR)/$(BUILD)
	dbus-run-session -- $(BUILD)/bench/bench_sync $(BUILD)/src/yotenna
	dbus-run-session -- $(BUILD)/bench/bench_sync $(BUILD)/src/yotenna --uid-index

screenshots: setup-test build
	bash scripts/screenshots.sh $(BUILD) $(SCALE)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

check-format:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
