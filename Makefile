# Two entry points for a fresh Debian 12 machine:
#   make test   install what is needed, build, run every test under Wine
#   make demo   install what is needed, build, run the installer's main job
BUILD_DIR ?= $(CURDIR)/build
JOBS ?= $(shell nproc)

.PHONY: all deps prefix build test demo clean coverage

all: build

deps:
	bash scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) -G Ninja \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

prefix: deps
	BUILD_DIR=$(BUILD_DIR) bash scripts/wine-prefix.sh

test: build prefix
	BUILD_DIR=$(BUILD_DIR) bash scripts/run-tests.sh

demo: build prefix
	BUILD_DIR=$(BUILD_DIR) bash scripts/demo.sh

# Line coverage of the product under the whole suite, from an instrumented
# build in its own folder: scripts/coverage.sh.
COVERAGE_DIR ?= $(CURDIR)/build-coverage
coverage:
	BUILD_DIR=$(COVERAGE_DIR) JOBS=$(JOBS) bash scripts/coverage.sh

clean:
	rm -rf $(BUILD_DIR)
