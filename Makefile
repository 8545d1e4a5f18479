# Quorvane: set-up, build and test in one place.
#   make run   install what is missing, build, start the live demo
#   make test  install what is missing, build, run the whole test suite
#   make test-sanitize   the same suite built with ASan and UBSan
#   make bench  the benchmarks, as one table (BENCH_SERVERS, BENCH_SECONDS)

DEB_PACKAGES := cmake ninja-build g++ qt6-base-dev libgl-dev libcurl4-openssl-dev \
                fonts-dejavu-core tzdata python3-pyftpdlib \
                xvfb xauth libbenchmark-dev qstat
BUILD_DIR    ?= build
SAN_DIR      ?= build-sanitize
BUILD_TYPE   ?= RelWithDebInfo
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
CTEST_FLAGS  ?= --output-on-failure --timeout 300

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

BENCH_SERVERS ?= 2000
BENCH_SECONDS ?= 60

.PHONY: deps configure build run test test-sanitize bench clean

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

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR)
