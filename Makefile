# Zentavo: plain `make` builds build/bin/; `make run` and `make test` also install what is missing.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)

.PHONY: all build deps configure run test test-sanitize install package bench fuzz format clean

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

# A failing run ends with the failed checks and where they are, after the long output of them all.
FAILED_CHECKS = { echo "Failed checks:"; grep -h -A1 -E '^(FAIL!|QFATAL)|ERROR: [A-Za-z]+Sanitizer|runtime error:' Testing/Temporary/LastTest*.log; exit 1; }

test: deps build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) || $(FAILED_CHECKS)

# Every test but the engine ones, built with AddressSanitizer and UndefinedBehaviorSanitizer in
# their own folder; the first finding stops the test. Suppressions for the libraries' own
# leaks are in tools/sanitizer/.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_SKIP ?= tst_engines|tst_playback|tst_livestreams|tst_glvideo|tst_stress|tst_noengines|tst_wayland
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZENTAVO_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cd $(SANITIZE_BUILD) && \
	  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/sanitizer/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j$(JOBS) -E '$(SANITIZE_SKIP)' || $(FAILED_CHECKS)

# Installs into PREFIX (default /usr/local); DESTDIR is honoured.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A .deb in $(BUILD)/.
package: deps build
	cd $(BUILD) && cpack -G DEB

bench: build
	@WITH_BENCH=1 ./tools/install-deps.sh
	./bench/run-all.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
