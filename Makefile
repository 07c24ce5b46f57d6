# Thin wrapper over CMake/CTest. `make run` plays the show, `make test` runs
# every test; both install missing Debian packages and generate the assets.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test test-sanitize keys clean

all: build

deps:
	sh scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	@cd $(BUILD)/run && if [ -x ./kelvane12 ]; then exec ./kelvane12; \
	else echo "kelvane12: the show is not built yet (assets are in $(BUILD)/run)"; fi

test: build
	cd $(BUILD) && ctest --output-on-failure
	$(MAKE) test-sanitize

# The GL-free tests again, under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVANE_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure

# Rewrites the committed performance, assets/keys.dat, from the choreography.
keys: configure
	cmake --build $(BUILD) --target keys

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
