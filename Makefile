# keysynth: `make run` and `make test` set up a fresh Debian 12 machine,
# build, and run the synthesizer or every test.

BUILD ?= build
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)

# Build and test dependencies: compilers and libraries, then what the tests
# drive (a virtual display, a sound server, a screenshot tool, numpy).
PACKAGES = cmake make g++ pkg-config libgtest-dev libbenchmark-dev clang-format \
	libsdl1.2-compat-dev portaudio19-dev libasound2-dev libasound2-plugins \
	pulseaudio pulseaudio-utils xvfb xdotool imagemagick python3-numpy
# The realtime-sanitizer build of .ci/run
SANITIZER_PACKAGES = clang-22 libclang-rt-22-dev

SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps deps-sanitizers configure build test run bench format clean

all: build

# Installs only what is missing, so a second run costs a few dpkg queries.
define install_missing
	@missing=$$(for p in $(1); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
	  echo "installing:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

deps-sanitizers: deps
	$(call install_missing,$(SANITIZER_PACKAGES))

configure: deps
	cmake -S . -B $(BUILD) -DKEYSYNTH_BENCH=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

run: build
	@if [ -x $(BUILD)/app/keysynth ]; then exec $(BUILD)/app/keysynth; \
	else echo "keysynth: the program is not there yet; 'make test' runs the sound engine's tests"; fi

bench: build
	$(BUILD)/bench/keysynth_bench
	bench/idle_cpu.sh $(BUILD)/app/keysynth

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-*
