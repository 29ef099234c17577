# Set-up, build, run and test on Debian 12. `make run` and `make test`
# install the Debian packages that are missing first.
BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
PACKAGES = cmake g++ make pkg-config qt6-base-dev libgl-dev libxml2-dev libzip-dev libarchive-dev zlib1g-dev \
           libcurl4-openssl-dev libssl-dev ca-certificates php-cli php-yaml python3 openssl xvfb xauth \
           openbox xdotool x11-utils fonts-liberation fonts-dejavu-core fonts-wqy-microhei qt6-translations-l10n \
           dpkg-dev file desktop-file-utils appstream-util shared-mime-info libglib2.0-bin \
           clang libclang-rt-14-dev clang-format \
           nginx curl lintian

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build build-run run test test-asan fuzz bench clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

# What running needs: the application (with the PHAR compiler it carries),
# the build command and the download site's generated files.
RUN_TARGETS = vorlune vorlune-build pharc vorlune_site

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

build-run: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(RUN_TARGETS)

run: build-run
	./$(BUILD_DIR)/vorlune

test: build
	tools/check-format.sh
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UBSan.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DVORLUNE_SANITIZE=ON
	cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)
	cd $(ASAN_BUILD_DIR) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

# The Debian package, in the build folder: only what it holds is built.
.PHONY: deb
deb: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target vorlune_package
	cd $(BUILD_DIR) && cpack -G DEB

# The fuzz targets of fuzz/, FUZZ_SECONDS seconds each, built with clang and
# libFuzzer in $(FUZZ_BUILD_DIR)/: only the core library and the targets.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DVORLUNE_FUZZ=ON \
	  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS)
	fuzz/run.sh $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

bench: build
	bench/run.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(FUZZ_BUILD_DIR)
