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

# The preset's sanitizer options come from the same script as scripts/sanitize.sh uses.
test: build
	@scripts/test-suite.sh $(PRESET) $(JOBS)

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
