# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test build deps configure package clean

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./scripts/run-app $(BUILD)

test: build
	./scripts/reserve-test-ports
	cd $(BUILD) && ctest --output-on-failure -j 2 --timeout 900

package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
