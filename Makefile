# The two commands of the README, and a few more.
#   make run    installs what is missing, builds, and plays the show
#   make test   installs what is missing, builds, and runs every test
PRESET ?= release
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build run test sanitize clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

# Plays the show from the build folder, which holds the program and its data/.
run: build
	@cd $(BUILD) && ./demo

test: build
	@ctest --preset $(PRESET) -j $(JOBS)

sanitize:
	@$(MAKE) --no-print-directory test PRESET=sanitize

clean:
	rm -rf build
