# Blinkwatcher: one source tree, four build trees (and the fuzz targets).
#   build/x86_64  native, optimised          build/i386  -m32, tests under qemu-i386
#   build/asan    x86_64 ASan + UBSan         build/tsan  x86_64 ThreadSanitizer
#   build/fuzz    clang, libFuzzer + ASan + UBSan
# Every target is idempotent; see README.md.

SHELL      := /bin/bash
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS = -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(if $(CI),-DBW_WERROR=ON) \
              $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

DEB_PACKAGES = g++ g++-multilib cmake make pkg-config ccache python3 file \
  libx11-dev libxext-dev libxinerama-dev libxmu-dev libxpm-dev libxrender-dev \
  libx11-dev:i386 libxext-dev:i386 libxinerama-dev:i386 libxmu-dev:i386 libxpm-dev:i386 libxrender-dev:i386 \
  libxtst-dev libxtst-dev:i386 libxfixes-dev libxfixes-dev:i386 libpng-dev libpng-dev:i386 \
  libsndfile1-dev libsndfile1-dev:i386 libportsmf-dev libportsmf-dev:i386 \
  googletest libbenchmark-dev qemu-user xvfb xauth x11-utils x11-apps imagemagick \
  xfonts-base xfonts-75dpi xfonts-100dpi valgrind clang libclang-rt-14-dev \
  lv2-dev liblilv-dev liblilv-dev:i386 lilv-utils sordi
SUDO = $(if $(filter 0,$(shell id -u)),,sudo)

FUZZ_SECONDS ?= 300

.PHONY: all deps build build-x86_64 build-i386 build-asan build-tsan build-fuzz check demo bench install clean \
  fuzz hosts

all: build

deps:
	@missing=$$(for p in $(DEB_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  dpkg --print-foreign-architectures | grep -qx i386 || $(SUDO) dpkg --add-architecture i386; \
	  $(SUDO) apt-get update -q && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $(DEB_PACKAGES); \
	fi

# Configuring needs the compilers and libraries: under make -j the trees must
# still wait for deps.
build/x86_64/CMakeCache.txt build/i386/CMakeCache.txt build/asan/CMakeCache.txt build/tsan/CMakeCache.txt \
  build/fuzz/CMakeCache.txt: | deps

build/x86_64/CMakeCache.txt:
	cmake -S . -B build/x86_64 $(CMAKE_FLAGS) -DBW_BENCH=ON
build/i386/CMakeCache.txt:
	cmake -S . -B build/i386 $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/i386.cmake
build/asan/CMakeCache.txt:
	cmake -S . -B build/asan $(CMAKE_FLAGS) -DBW_SANITIZE=address
build/tsan/CMakeCache.txt:
	cmake -S . -B build/tsan $(CMAKE_FLAGS) -DBW_SANITIZE=thread
build/fuzz/CMakeCache.txt:
	cmake -S fuzz -B build/fuzz $(CMAKE_FLAGS) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

build-x86_64: build/x86_64/CMakeCache.txt
	cmake --build build/x86_64 -j $(JOBS)
build-i386: build/i386/CMakeCache.txt
	cmake --build build/i386 -j $(JOBS)
build-asan: build/asan/CMakeCache.txt
	cmake --build build/asan -j $(JOBS)
# Only what the TSan run (the tests labelled threads) needs.
build-tsan: build/tsan/CMakeCache.txt
	cmake --build build/tsan -j $(JOBS) --target bw_threads_tests
build-fuzz: build/fuzz/CMakeCache.txt
	cmake --build build/fuzz -j $(JOBS)

build: build-x86_64 build-i386

check: deps build build-asan build-tsan build-fuzz
	tools/run-checks.sh

# The fuzz targets for FUZZ_SECONDS each (make check runs them briefly).
fuzz: deps build-fuzz
	tools/run-fuzz.sh $(FUZZ_SECONDS)

# Real hosts (Ardour 7, Qtractor; jalv for the LV2 edition) load the
# plug-in; not part of check.
hosts: deps build
	tools/hosts.sh

demo: deps build
	tools/demo.sh

# The shipped plug-in through dlopen for every kernel variant the processor
# runs, the engine's audio cost linked in, then the editor open on an X
# server (the caller's or a private Xvfb).
bench: deps build-x86_64
	@if [ -x build/x86_64/bench/bw_plugin_bench ]; then tools/with-xvfb.sh build/x86_64/bench/bw_plugin_bench; fi
	@if [ -x build/x86_64/bench/bw_bench ]; then tools/with-xvfb.sh build/x86_64/bench/bw_bench; else echo "no benchmarks built yet"; fi
	@if [ -x build/x86_64/bench/bw_editor_bench ]; then tools/with-xvfb.sh build/x86_64/bench/bw_editor_bench; fi

# The VST plug-in into ~/.lxvst (as root: $(PREFIX)/lib/lxvst), the LV2
# bundle into ~/.lv2 (as root: $(PREFIX)/lib/lv2). The i386 builds stay in
# build/i386 for 32-bit systems' hosts.
install: build
	@if [ "$$(id -u)" = 0 ]; then dest="$(PREFIX)/lib/lxvst"; lv2="$(PREFIX)/lib/lv2"; \
	else dest="$$HOME/.lxvst"; lv2="$$HOME/.lv2"; fi; \
	mkdir -p "$$dest" && \
	install -m 0755 build/x86_64/Blinkwatcher.so "$$dest/Blinkwatcher.so" && \
	mkdir -p "$$dest/i386" && install -m 0755 build/i386/Blinkwatcher.so "$$dest/i386/Blinkwatcher.so" && \
	echo "installed into $$dest (x86_64) and $$dest/i386 (i386)" && \
	rm -rf "$$lv2/Blinkwatcher.lv2" && mkdir -p "$$lv2/Blinkwatcher.lv2" && \
	install -m 0644 build/x86_64/Blinkwatcher.lv2/*.ttl "$$lv2/Blinkwatcher.lv2/" && \
	install -m 0755 build/x86_64/Blinkwatcher.lv2/*.so "$$lv2/Blinkwatcher.lv2/" && \
	echo "installed the LV2 bundle into $$lv2/Blinkwatcher.lv2 (x86_64)"

clean:
	rm -rf build
