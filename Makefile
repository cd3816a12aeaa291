# Zentavo: plain `make` builds build/bin/; `make run` and `make test` also install what is missing.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)

.PHONY: all build deps configure run test bench fuzz format clean

all: build

deps:
	@./tools/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: deps build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display found: starting Zentavo on a virtual X server (xvfb-run)."; \
	  cd $(BUILD)/bin && xvfb-run -a -s "-screen 0 1280x800x24 -noreset" ./zentavo; \
	else \
	  cd $(BUILD)/bin && ./zentavo; \
	fi

test: deps build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: build
	@WITH_BENCH=1 ./tools/install-deps.sh
	./bench/run-all.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
