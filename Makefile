# The two commands of the README: `make run` and `make test`; `make windows`
# builds the Windows executables and installer into build-windows.
BUILD ?= build
WINDOWS_BUILD ?= build-windows
JOBS ?= $(shell nproc)
CCACHE := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

.PHONY: run test build deps configure package clean windows

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRINGTALLY_WINDOWS_BUILD=$(abspath $(WINDOWS_BUILD))

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./scripts/run-app $(BUILD)

# Third-party sources come from Debian's source packages (windows/fetch-sources.sh).
windows: deps
	./windows/fetch-sources.sh $(WINDOWS_BUILD)/third-party
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=windows/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release $(CCACHE)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The Wine tests of the suite run the Windows build.
test: build windows
	./scripts/reserve-test-ports
	cd $(BUILD) && ctest --output-on-failure -j 2 --timeout 900

package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD)
