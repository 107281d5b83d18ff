# The README's commands. Thin wrappers around CMake and CTest.
BUILD_DIR ?= build
SAN_BUILD_DIR ?= build-sanitize
FUZZ_BUILD_DIR ?= build-fuzz
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
WERROR := $(if $(CI),ON,OFF)

CMAKE_CONFIGURE = cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DAMBERTRACE_WERROR=$(WERROR)

.PHONY: all deps configure build run test test-fast bench gallery format check-format check-sanitize fuzz install package clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@$(CMAKE_CONFIGURE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/src/app/ambertrace

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

# Only the tests labelled "fast" (no window, no install); `ctest -L window` or `-L slow` pick the others.
test-fast: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300 -L fast

bench: build
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target ambertrace_bench
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/ambertrace_bench

gallery: build
	@mkdir -p gallery-out
	QT_QPA_PLATFORM=offscreen:configfile=tests/support/screens/1920x1080.json ./$(BUILD_DIR)/tools/gallery/ambertrace_gallery gallery-out
	@echo "Pictures written to gallery-out/"

SOURCES_TO_FORMAT = find src tests bench tools -name '*.cpp' -o -name '*.h'

format: deps
	@$(SOURCES_TO_FORMAT) | xargs clang-format -i

check-format: deps
	@$(SOURCES_TO_FORMAT) | xargs clang-format --dry-run --Werror

check-sanitize: deps
	@cmake -S . -B $(SAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DAMBERTRACE_SANITIZE=ON \
	    -DAMBERTRACE_WERROR=$(WERROR) >/dev/null
	@cmake --build $(SAN_BUILD_DIR) -j $(JOBS)
	cd $(SAN_BUILD_DIR) && QT_QPA_PLATFORM=offscreen \
	    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS) --timeout 600

# libFuzzer targets (tests/fuzz), built with clang and run one after another for FUZZ_SECONDS each.
# New inputs collect in the build directory; the committed seeds in tests/fuzz/corpus/ stay as they
# are. The dictionaries (tests/fuzz/*.dict) steer the mutations into Qt's JSON reader, which is not
# instrumented. A crash leaves its input in $(FUZZ_BUILD_DIR)/artifacts/ and fails the target.
FUZZ_TARGETS = fuzz_profilefile fuzz_updatereply fuzz_preampchain fuzz_warmuplog fuzz_ut61e fuzz_scpi fuzz_fluke28x fuzz_matchbatch fuzz_reportattachment fuzz_profileindex

fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
	    -DAMBERTRACE_FUZZ=ON -DAMBERTRACE_BUILD_TESTS=OFF -DAMBERTRACE_WERROR=$(WERROR) >/dev/null
	@cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS) --target $(FUZZ_TARGETS)
	@mkdir -p $(FUZZ_BUILD_DIR)/artifacts
	@for t in $(FUZZ_TARGETS); do \
	    echo "== $$t for $(FUZZ_SECONDS) s"; \
	    mkdir -p $(FUZZ_BUILD_DIR)/corpus/$$t; \
	    ./$(FUZZ_BUILD_DIR)/tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -max_len=65536 \
	        -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD_DIR)/artifacts/$$t- -dict=tests/fuzz/$$t.dict \
	        $(FUZZ_BUILD_DIR)/corpus/$$t tests/fuzz/corpus/$$t || exit 1; \
	done

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR) $(SAN_BUILD_DIR) $(FUZZ_BUILD_DIR)
