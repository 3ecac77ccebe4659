# Carnelo: the two set-up commands are `make run` and `make test`.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local
DESTDIR ?=
VERSION := $(shell sed -n '/^project/s/.* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
DEB := build/deb/carnelo_$(VERSION)_amd64.deb

.PHONY: run build test tsan test-threads bench fuzz clean deps install deb test-package

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCARNELO_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build build/release -j $(JOBS) --target carnelo

run: build
	./build/release/app/carnelo

test: deps
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCARNELO_SANITIZE=ON -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" $(CMAKE_FLAGS)
	cmake --build build/asan -j $(JOBS)
	cd build/asan && ctest --output-on-failure -j $(JOBS)

# The tests of code that runs on several threads (threads and synchronised calls, colour
# reduction of large images, the animation painter), none of which need windows, under
# ThreadSanitizer.
tsan: deps
	cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DCARNELO_TSAN=ON -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" $(CMAKE_FLAGS)
	cmake --build build/tsan -j $(JOBS) --target core_tests colour_tests painter_tests decode_thread_tests
	cd build/tsan && ctest --output-on-failure -R '^(core_tests|colour_tests|painter_tests|decode_thread_tests)$$'

test-threads: tsan

bench:
	@scripts/install-deps bench
	cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DCARNELO_TESTS=OFF -DCARNELO_BENCH=ON $(CMAKE_FLAGS)
	cmake --build build/bench -j $(JOBS)
	cmake --build build/bench --target run-benchmarks

fuzz:
	@scripts/install-deps fuzz
	CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCARNELO_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build build/fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-fuzzers build/fuzz/fuzz

# Both programs and their desktop files under $(DESTDIR)$(PREFIX).
install: deps
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCARNELO_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build build/release -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install build/release --prefix "$(PREFIX)"

# The Debian package, built by the Debian tools from a copy of the source tree.
deb:
	@scripts/install-deps package
	rm -rf build/deb
	mkdir -p build/deb/carnelo-$(VERSION)
	tar -cf - --exclude=./build --exclude=./.git --exclude='./fuzz/corpus-*' . | tar -xf - -C build/deb/carnelo-$(VERSION)
	cd build/deb/carnelo-$(VERSION) && DEB_BUILD_OPTIONS="parallel=$(JOBS)" dpkg-buildpackage -b -us -uc
	lintian --fail-on error $(DEB)
	@echo "Built $(DEB)"

# Installs the package on this machine (root), saves a contact through its window under
# a virtual display, and removes it again.
test-package:
	@scripts/install-deps package
	@test -f $(DEB) || $(MAKE) deb
	scripts/test-package $(DEB)

clean:
	rm -rf build
