# The two commands of the README, and a few more.
#   make run    installs what is missing, builds, and plays the show
#   make test   installs what is missing, builds, and runs every test
PRESET ?= release
BUILD  := build/$(PRESET)
JOBS   ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build run video test sanitize bench clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

# Plays the show from the build folder, which holds the program and its data/. Without a
# display the show is rendered to show.mp4 instead.
run: build
	@if [ -z "$${DISPLAY:-}" ] && [ -z "$${WAYLAND_DISPLAY:-}" ]; then \
	    echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set):" \
	         "rendering the show to a video instead."; \
	    $(MAKE) --no-print-directory video; \
	else \
	    cd $(BUILD) && ./demo; \
	fi

# Renders the whole show with its music to show.mp4 in this folder.
video: build
	@cd $(BUILD) && ./demo-render --video "$(CURDIR)/show.mp4"
	@echo "The show is in $(CURDIR)/show.mp4"

# The Google Benchmark programs, then the whole show timed frame by frame.
bench: build
	@for program in $(BUILD)/bench/*_bench; do \
	    [ -x "$$program" ] || continue; \
	    echo "== $$(basename $$program)"; \
	    "$$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; \
	done
	@echo "== demo-render --bench"
	@cd $(BUILD) && ./demo-render --bench --quiet

test: build
	@ctest --preset $(PRESET) -j $(JOBS)

sanitize:
	@$(MAKE) --no-print-directory test PRESET=sanitize

clean:
	rm -rf build
