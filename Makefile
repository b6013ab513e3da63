# Convenience targets: each one installs missing Debian packages, configures,
# builds and then runs something.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

PACKAGES := qt6-base-dev libusb-dev libusb-1.0-0-dev libudev-dev libgtest-dev libgmock-dev \
	g++ cmake ninja-build pkg-config xvfb xauth libxkbcommon-dev fonts-nanum \
	umockdev libumockdev-dev

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: all deps configure build demo run test clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -q && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The real program on emulated writers: no hardware needed. Only the
# programs are built, not the tests.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target VREN_Kesto_Demo
	$(BUILD)/VREN_Kesto_Demo

# The real program on the writers plugged into this machine.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target VREN_Kesto_Configurator
	$(BUILD)/VREN_Kesto_Configurator

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j $(JOBS)

clean:
	rm -rf $(BUILD)
