# Every target first makes sure the machine has what the build needs.
.PHONY: deps run test build fuzz bench package clean

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

deps:
	@bash scripts/install-deps

build: deps
	@cmake --preset release >/dev/null
	@cmake --build build -j $(JOBS)

run: build
	@bash scripts/run

test: build
	@cd build && ctest --output-on-failure -j $(JOBS)

fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz

bench: build
	@bash scripts/bench

package: build
	@cd build && cpack -G DEB

clean:
	rm -rf build build-dev build-asan build-fuzz
