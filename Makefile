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

# The show for Windows, cross-compiled with mingw-w64: build/windows-x64/Duziv2i-windows-x64.zip
# and build/windows-x86/Duziv2i-windows-x86.zip. The data comes from the native build named by
# HOST_PRESET, libopenmpt from Debian's source package (built once, then kept under build/).
HOST_PRESET ?= release
.PHONY: windows test-windows
windows:
	@./scripts/install-deps.sh windows
	@cmake --preset $(HOST_PRESET) >/dev/null
	@cmake --build --preset $(HOST_PRESET) -j $(JOBS) --target data
	@for arch in x64 x86; do \
	    ./scripts/build-libopenmpt.sh windows-$$arch && \
	    cmake --preset windows-$$arch -DDEMO_DATA_FROM="$(CURDIR)/build/$(HOST_PRESET)/data" \
	        >/dev/null && \
	    cmake --build --preset windows-$$arch -j $(JOBS) --target package_zip || exit 1; \
	done
	@echo "The show for Windows: build/windows-x64/Duziv2i-windows-x64.zip," \
	      "build/windows-x86/Duziv2i-windows-x86.zip"

# The 64-bit Windows build's tests under Wine, and the program itself in an X display.
test-windows: windows
	@cmake --build --preset windows-x64 -j $(JOBS)
	@ctest --preset windows-x64 -j $(JOBS)

# The show in a web browser: build/web holds the page (index.html, demo.js, demo.wasm and
# demo.data), one static folder for any web server. `make serve` serves it on port 8000.
.PHONY: web serve test-web bench-web
web:
	@./scripts/install-deps.sh web
	@cmake --preset $(HOST_PRESET) >/dev/null
	@cmake --build --preset $(HOST_PRESET) -j $(JOBS) --target data demo-render
	@./scripts/build-libopenmpt.sh web
	@cmake --preset web -DDEMO_DATA_FROM="$(CURDIR)/build/$(HOST_PRESET)/data" >/dev/null
	@cmake --build --preset web -j $(JOBS)
	@echo "The page: build/web/index.html (make serve, then http://localhost:8000/)"

serve:
	@echo "Serving build/web on http://localhost:8000/ (Ctrl+C stops)"
	@cd build/web && python3 -m http.server 8000 --bind 127.0.0.1

# The page in headless Chromium: loading, a click, pictures, a minute of music, keys, the
# fallbacks, failures, a phone's touch screen, and frames equal to the native program's.
test-web: web
	@/usr/bin/python3 tests/web/web_test.py build/web build/$(HOST_PRESET)

# The scene work per frame in headless Chromium, median and worst per scene and which frame was
# the worst, beside the native program's.
bench-web: web
	@/usr/bin/python3 tests/web/web_test.py build/web build/$(HOST_PRESET) --bench

sanitize:
	@$(MAKE) --no-print-directory test PRESET=sanitize

# The licences in both Windows zips and the page: LICENSE, and the notices of every component
# their builds link in.
.PHONY: check-notices
check-notices: windows web
	@./scripts/check-notices.sh

# Every build checked against the show's manifest, tests/golden/show.frames: the native build at
# each vector level, the portable preset, Windows under Wine, the browser, and Linux on aarch64,
# i686 and s390x under qemu-user. Builds what is missing, then prints one table.
.PHONY: conformance
conformance:
	@./scripts/install-deps.sh windows
	@./scripts/install-deps.sh web
	@./scripts/install-deps.sh cross
	@HOST_PRESET=$(HOST_PRESET) ./scripts/conformance.sh

# Renders the show's music to $(BUILD)/song.wav and prints its peak and RMS levels and length.
.PHONY: song
song: build
	@$(BUILD)/mkdata --wav $(BUILD)/song.wav $(BUILD)/data/mirel.xm
	@if command -v sox >/dev/null 2>&1; then \
	    sox $(BUILD)/song.wav -n stats 2>&1 | grep -E '^(Pk lev dB|RMS lev dB|Length s)'; fi

# A contact sheet of the generated data: every image on one sheet (contact-sheet.png) and the
# mesh rendered by the engine from three camera positions of the object scene (mesh-views.png),
# in <build>/contact-sheet. SHEET_BUILD=<folder> uses a build folder that is already built.
.PHONY: contact-sheet
SHEET_BUILD ?=
contact-sheet: $(if $(SHEET_BUILD),,build)
	@dir="$(or $(SHEET_BUILD),$(BUILD))"; sheet="$$dir/contact-sheet"; labels=""; \
	if convert -list font 2>/dev/null | grep -q 'Font: DejaVu-Sans$$'; then \
	    labels="-font DejaVu-Sans -pointsize 12 -label %t"; fi; \
	rm -rf "$$sheet" && "$$dir/mkdata" --sheet "$$dir/data" "$$sheet" && \
	montage $$labels "$$sheet"/tiles/*.bmp -tile 5x -geometry '360x360>+8+8' -background '#202028' \
	    -fill '#e0e0e0' "$$sheet/contact-sheet.png" && \
	montage $$labels "$$sheet"/mesh/*.bmp -tile 3x -geometry '+8+8' -background '#202028' \
	    -fill '#e0e0e0' "$$sheet/mesh-views.png" && \
	echo "Contact sheet: $$sheet/contact-sheet.png and $$sheet/mesh-views.png"

clean:
	rm -rf build

# The Debian package build/duziv2i_1.0.0_<arch>.deb, from its own release build (no tests or
# benchmarks). scripts/check-deb.sh installs it, plays it under Xvfb and removes it again.
DEB_BUILD := build/deb-release
.PHONY: deb
deb:
	@./scripts/install-deps.sh deb
	@cmake --preset release -B $(DEB_BUILD) -DDEMO_TESTS=OFF -DDEMO_BENCH=OFF >/dev/null
	@cmake --build $(DEB_BUILD) -j $(JOBS) --target demo mkdata data
	@./scripts/make-deb.sh $(DEB_BUILD)
