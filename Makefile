# Thin wrapper over CMake/CTest. `make run` plays the show, `make test` runs
# every test, `make video` renders the show to an MP4, `make dist` makes the
# release packages; all install missing Debian packages and generate the assets.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

# make video: frame rate of the video, and more capture options (for example
# VIDEO_ARGS="--to 10" for the first ten seconds only).
VIDEO_FPS ?= 30
VIDEO_ARGS ?=
VIDEO_FILE := $(abspath $(BUILD))/kelvane12.mp4

.PHONY: all deps configure build run video test test-sanitize keys dist clean

all: build

deps:
	sh scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# RUN_ARGS passes options to the show, e.g. make run RUN_ARGS=--window
RUN_ARGS ?=
run: build
	@cd $(BUILD)/run && if [ -x ./kelvane12 ]; then exec ./kelvane12 $(RUN_ARGS); \
	else echo "kelvane12: the show is not built yet (assets are in $(BUILD)/run)"; exit 1; fi

# The whole show with its music into build/kelvane12.mp4, through the capture
# tool; under a virtual display where there is no real one to open.
video: build
	@cd $(BUILD)/run && if [ -n "$$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then \
	  exec ./kelvane12-capture --fps $(VIDEO_FPS) $(VIDEO_ARGS) --video "$(VIDEO_FILE)"; \
	else echo "kelvane12: no display; rendering on a virtual one"; \
	  exec xvfb-run -a -s "-screen 0 1280x720x24" \
	    ./kelvane12-capture --fps $(VIDEO_FPS) $(VIDEO_ARGS) --video "$(VIDEO_FILE)"; fi

# The tests run side by side, each drawing one on an X server of its own.
test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	$(MAKE) test-sanitize

# The GL-free tests again, under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVANE_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS)

# The release packages, with CPack: build/kelvane12_VERSION_amd64.deb and
# build/kelvane12-VERSION-linux-x86_64.tar.gz.
dist: build
	cd $(BUILD) && cpack

# Rewrites the committed performance, assets/keys.dat, from the choreography.
keys: configure
	cmake --build $(BUILD) --target keys

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
