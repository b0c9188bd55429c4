# Entry points for a fresh machine: `make demo` and `make test`.
# Each target installs missing packages, configures and builds before it runs.

JOBS ?= 2
BUILD ?= build
GENERATOR := -G Ninja
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all deps test-deps build test test-unit demo test-asan test-tsan bench fuzz format check-format package lint-package clean

all: build

deps:
	@scripts/install-deps.sh

# The tests need a browser too (the console's test drives Chromium), and the
# package test lintian and systemd-analyze.
test-deps:
	@scripts/install-deps.sh browser package

# configure <dir> <extra cmake arguments>
define configure
	cmake -S . -B $(1) $(GENERATOR) $(2) >/dev/null
endef

build: deps
	$(call configure,$(BUILD),-DCMAKE_BUILD_TYPE=RelWithDebInfo)
	cmake --build $(BUILD) -j $(JOBS)

test: build test-deps
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-unit: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE 'integration|package|browser'

demo: build
	$(BUILD)/bin/qingcloud-agent probe
	scripts/demo.sh $(BUILD)/bin

test-asan: deps test-deps
	$(call configure,build-asan,-DCMAKE_BUILD_TYPE=Debug -DQC_SANITIZE=address)
	cmake --build build-asan -j $(JOBS)
	ctest --test-dir build-asan --output-on-failure -j $(JOBS)

test-tsan: deps test-deps
	$(call configure,build-tsan,-DCMAKE_BUILD_TYPE=Debug -DQC_SANITIZE=thread)
	cmake --build build-tsan -j $(JOBS)
	TSAN_OPTIONS="suppressions=$(CURDIR)/testing/tsan.supp $(TSAN_OPTIONS)" \
	  ctest --test-dir build-tsan --output-on-failure -j $(JOBS)

# Every bench_* program, each writing its results (Google Benchmark's JSON,
# and the figures it reports itself) to $(BENCH_OUT); then one table of all
# of them (bench/summary.py).
BENCH_OUT ?= $(BUILD)/bench-results

bench: build
	@rm -rf $(BENCH_OUT) && mkdir -p $(BENCH_OUT)
	@for b in $(BUILD)/bin/bench_*; do \
	  n=$$(basename $$b); echo "== $$b"; \
	  QC_BENCH_FIGURES=$(abspath $(BENCH_OUT))/$$n.figures $$b \
	    --benchmark_out=$(BENCH_OUT)/$$n.json --benchmark_out_format=json \
	    || echo "== $$b failed"; \
	done
	@python3 bench/summary.py $(BENCH_OUT)

# The Debian package of the plug-in and its tools, in $(BUILD)/package/.
package: build
	cd $(BUILD) && cpack -G DEB

# Lintian's verdict on the package (errors and warnings fail).
lint-package: package
	@scripts/install-deps.sh package
	lintian --fail-on error,warning $(BUILD)/package/*.deb

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

check-format:
	@scripts/check-format.sh

# The fuzz targets built with clang and libFuzzer (under ASan and UBSan) in
# build-fuzz/, each run for FUZZ_SECONDS; see scripts/run-fuzzers.sh.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= json_text api_reply json_rpc_params handler_request sim_request

fuzz:
	@scripts/install-deps.sh fuzz
	$(call configure,build-fuzz,-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQC_FUZZ=ON)
	cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz
