# Quorvane: set-up, build and test in one place.
#   make run   install what is missing, build, start the live demo
#   make test  install what is missing, build, run the whole test suite
#   make test-sanitize   the same suite built with ASan and UBSan
#   make bench  the benchmarks, as one table (BENCH_SERVERS, BENCH_SECONDS)
#   make mutants  mutation testing: faults put in the core must fail the unit tests
#   make fuzz  build the fuzz targets with clang and libFuzzer, run each for
#              FUZZ_SECONDS over a scratch copy of its corpus
#   make package  the Debian package quorvane_VERSION_ARCH.deb (in build-package/),
#              checked by tools/package/check.sh

# dpkg-dev (dpkg-shlibdeps), appstream and desktop-file-utils: make package.
# libqt6sql6-sqlite and libqt6sql6-psql: the ledger's drivers; postgresql: initdb/pg_ctl for its tests.
DEB_PACKAGES := cmake ninja-build g++ qt6-base-dev libgl-dev libcurl4-openssl-dev \
                fonts-dejavu-core tzdata python3-pyftpdlib \
                xvfb xauth libbenchmark-dev qstat clang libclang-rt-14-dev \
                prometheus \
                dpkg-dev appstream desktop-file-utils \
                libqt6sql6-sqlite libqt6sql6-psql postgresql
BUILD_DIR    ?= build
SAN_DIR      ?= build-sanitize
BUILD_TYPE   ?= RelWithDebInfo
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
CTEST_FLAGS  ?= --output-on-failure --timeout 300
FUZZ_DIR     ?= build-fuzz
PKG_DIR      ?= build-package
FUZZ_SECONDS ?= 60
# Datagrams are at most 2048 bytes; layout files get more room.
FUZZ_TARGETS := fuzz_server_reply:2048 fuzz_proxy_reply:2048 fuzz_hub_reply:2048 fuzz_layout_reader:16384 \
                fuzz_autoweb_page:8192 fuzz_rcon_commands:1024 fuzz_log_line:2048 \
                fuzz_rules_reply:4096 fuzz_map_list:65536

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

BENCH_SERVERS ?= 2000
BENCH_SECONDS ?= 60

.PHONY: deps configure build run test test-sanitize bench mutants fuzz package clean

deps:
	@missing=""; \
	for p in $(DEB_PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing missing packages:$$missing"; \
	    $(SUDO) apt-get update -q && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	    exec $(BUILD_DIR)/bin/quorvane --demo; \
	else \
	    echo "No display here: running the demo headless (Ctrl+C ends it)."; \
	    echo "For the window, run 'make run' in a desktop session, or 'xvfb-run -a make run'."; \
	    exec $(BUILD_DIR)/bin/quorvane --demo --headless; \
	fi

test: build
	cd $(BUILD_DIR) && ctest -j $(JOBS) $(CTEST_FLAGS)

test-sanitize: deps
	cmake -S . -B $(SAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON -DQUORVANE_BUILD_BENCH=OFF
	cmake --build $(SAN_DIR) -j $(JOBS)
	cd $(SAN_DIR) && ctest -j $(JOBS) $(CTEST_FLAGS)

bench: build
	python3 bench/run_bench.py --build-dir $(BUILD_DIR) --servers $(BENCH_SERVERS) --seconds $(BENCH_SECONDS)

# Each mutant of tools/mutants/mutants.py in turn, built in build-mutants/;
# fails below a kill rate of 90 %.
mutants: deps
	python3 tools/mutants/run.py

# One target after the other, each over a scratch copy of fuzz/corpus/<target>
# (new inputs stay in $(FUZZ_DIR)/fuzz-work). A crash, leak, sanitizer report
# or time-out leaves its input in .../artifacts and makes this fail.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DQUORVANE_FUZZ=ON -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(foreach t,$(FUZZ_TARGETS),$(firstword $(subst :, ,$(t))))
	@failed=""; \
	for entry in $(FUZZ_TARGETS); do \
	    target=$${entry%%:*}; maxlen=$${entry##*:}; \
	    work=$(FUZZ_DIR)/fuzz-work/$$target; \
	    mkdir -p $$work/corpus $$work/artifacts; \
	    cp fuzz/corpus/$$target/* $$work/corpus/; \
	    dict=""; [ -f fuzz/dict/$$target.dict ] && dict="-dict=fuzz/dict/$$target.dict"; \
	    echo "== $$target: $(FUZZ_SECONDS) s, max_len $$maxlen"; \
	    lsan="print_suppressions=0"; \
	    [ -f fuzz/lsan.supp ] && lsan="$$lsan:suppressions=$(CURDIR)/fuzz/lsan.supp"; \
	    LSAN_OPTIONS=$$lsan $(FUZZ_DIR)/bin/$$target $$work/corpus -max_total_time=$(FUZZ_SECONDS) -max_len=$$maxlen \
	        -timeout=10 -print_final_stats=1 -artifact_prefix=$$work/artifacts/ $$dict \
	        2>$$work/log.txt; \
	    status=$$?; \
	    if [ $$status -eq 0 ]; then grep -E '^#[0-9]+[[:space:]]+DONE|^Done|^stat::' $$work/log.txt; \
	    else tail -n 80 $$work/log.txt; fi; \
	    if [ $$status -ne 0 ]; then \
	        echo "== $$target FOUND A FAULT (exit $$status): see $$work/log.txt and $$work/artifacts"; \
	        failed="$$failed $$target"; \
	    fi; \
	done; \
	if [ -n "$$failed" ]; then echo "Fuzzing found faults in:$$failed"; exit 1; fi; \
	echo "Fuzzing found nothing."

# The programs built as for the tests (BUILD_TYPE) but without tests or
# benchmarks, installed under /usr by CPack (stripped, with the Depends that
# dpkg-shlibdeps finds), then checked.
package: deps
	cmake -S . -B $(PKG_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF
	cmake --build $(PKG_DIR) -j $(JOBS)
	rm -f $(PKG_DIR)/quorvane_*.deb
	@# dpkg-shlibdeps has once failed here without a word and then passed on
	@# every run after: one more try before the target fails.
	cd $(PKG_DIR) && (cpack -G DEB || { echo "cpack failed; trying once more"; cpack -G DEB; })
	tools/package/check.sh $(PKG_DIR)/quorvane_*.deb

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(FUZZ_DIR) $(PKG_DIR) build-mutants
