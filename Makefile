# Convenience targets: each one installs missing Debian packages, configures,
# builds and then runs something.
BUILD ?= build
# The Debian package builds apart from $(BUILD), which `make test` shares.
BUILD_PKG ?= build-package
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

PACKAGES := qt6-base-dev libusb-dev libusb-1.0-0-dev libudev-dev libgtest-dev libgmock-dev \
	g++ cmake ninja-build pkg-config xvfb xauth libxkbcommon-dev fonts-nanum \
	umockdev libumockdev-dev
# cpack's DEB generator computes the package's dependencies with
# dpkg-shlibdeps and finds the programs to scan with file.
PKG_PACKAGES := dpkg-dev file

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: all deps configure build demo run test package clean

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

# The Debian package, from a Release build without the tests. Debian's
# hardening flags (dpkg-buildflags, all of them: bindnow too) go into the
# programs.
package: export DEB_BUILD_MAINT_OPTIONS = hardening=+all
package: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(PKG_PACKAGES)"
	cmake -S . -B $(BUILD_PKG) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTO_BUILD_TESTS=OFF \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" $(CMAKE_FLAGS)
	cmake --build $(BUILD_PKG) -j $(JOBS)
	rm -f $(BUILD_PKG)/*.deb
	cd $(BUILD_PKG) && cpack -G DEB
	@echo "Package: $$(ls $(BUILD_PKG)/*.deb)"

clean:
	rm -rf $(BUILD) $(BUILD_PKG)
