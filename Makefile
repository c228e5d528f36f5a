# The two commands of the README. Both install what is missing first.
PRESET ?= dev
BUILD_DIR := build/$(PRESET)
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test demo clean format

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  ctest --output-on-failure -j $(JOBS) --timeout 300

demo: build
	@scripts/demo.sh $(BUILD_DIR)

# The Debian package, from an optimised build below /usr (preset "deb"), checked by lintian.
.PHONY: deb
deb: deps
	@cmake --preset deb >/dev/null
	@cmake --build --preset deb -j $(JOBS) --target plovane_installed
	@cd build/deb && cpack -G DEB
	@lintian --fail-on error build/deb/plovane_*.deb

format:
	@git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i

clean:
	rm -rf build
