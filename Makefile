# The two commands people use: `make run` and `make test`. Both install what the build needs
# (as root, with apt-get), configure, build, then run.
BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
ifeq ($(CI),true)
  CMAKE_ARGS += -DQUORBELA_WERROR=ON
endif

PACKAGES := cmake make g++ pkg-config libsdl2-dev libgtest-dev libgmock-dev libbenchmark-dev libpng-dev ffmpeg \
            g++-mingw-w64-i686

.PHONY: all setup configure build run test bench sanitize tsan clang clean pictures format-check

all: build

setup:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
	  else \
	    echo "missing packages; run: sudo apt-get install -y$$missing"; exit 1; \
	  fi; \
	fi

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@$(MAKE) --no-print-directory win32
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

# Address and undefined-behaviour sanitizers over the whole test suite.
sanitize: setup
	@cmake -S . -B $(BUILD)-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORBELA_SANITIZE=ON -DQUORBELA_BENCH=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer over the suites that run the mixing thread. Only they are built, and ctest
# runs whatever was built (the others stand in the list as *_NOT_BUILT).
TSAN_TESTS := output_test control_test xmplay_test
tsan: setup
	@cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORBELA_TSAN=ON -DQUORBELA_BENCH=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD)-tsan -j $(JOBS) --target $(TSAN_TESTS)
	cd $(BUILD)-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -E '_NOT_BUILT$$|^install_and_build_example$$|^soak_one_hour$$'

# The whole build with clang, every library with ASan, UBSan and the fuzzer's coverage, and
# the suite with the fuzz targets' short runs. clang's runtimes (libFuzzer among them) are a
# package of their own.
CLANG_PACKAGES := clang libclang-rt-dev
clang:
	@$(MAKE) --no-print-directory setup PACKAGES="$(PACKAGES) $(CLANG_PACKAGES)"
	@cmake -S . -B $(BUILD)-clang -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORBELA_FUZZ=ON $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD)-clang -j $(JOBS)
	cd $(BUILD)-clang && ctest --output-on-failure -j $(JOBS)

# Every C++ source in the one layout of .clang-format (clang-format -i FILE mends one).
format-check:
	@$(MAKE) --no-print-directory setup PACKAGES="clang-format"
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
	@echo "format-check: every source is in the tree's layout"

# The demo, full screen (ARGS=--window for a window; Escape ends a scene, held it ends the show).
run: build
	$(BUILD)/tools/quorbela/quorbela $(ARGS)

# The README's pictures of the scenes, remade from a capture of the show.
PICTURE_FRAMES := 1:001400 2:003500 3:004550 4:004900 5:005950 6:007700 7:009100 8:010500
pictures: build
	@rm -rf $(BUILD)/pictures
	$(BUILD)/tools/capture/quorbela-capture --out $(BUILD)/pictures --every 35 --scale 1 --no-progress
	@mkdir -p docs/pictures
	@for pick in $(PICTURE_FRAMES); do \
	  cp $(BUILD)/pictures/frame_$${pick#*:}.png docs/pictures/scene-$${pick%%:*}.png; \
	done

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize $(BUILD)-tsan $(BUILD)-clang $(WIN32_BUILD) $(WEB_BUILD) $(WEB_SITE)

# The 32-bit Windows programs, cross-built with mingw-w64: $(WIN32_BUILD)/quorbela.exe and
# $(WIN32_BUILD)/xmplay.exe. assetgen runs on this machine, so the native build's is used.
WIN32_BUILD ?= build-win32

.PHONY: win32 win32-check

win32: configure
	@cmake --build $(BUILD) -j $(JOBS) --target assetgen
	@cmake -S . -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DQUORBELA_HOST_ASSETGEN=$(abspath $(BUILD))/tools/assetgen/assetgen $(CMAKE_ARGS) >/dev/null
	@cmake --build $(WIN32_BUILD) -j $(JOBS)
	@tools/win32check/imports.sh $(WIN32_BUILD)/quorbela.exe $(WIN32_BUILD)/xmplay.exe

# Both programs under Wine on a virtual X display: the WAV against the native build's, and the
# show with Escape sent from outside. Installs Wine (32-bit) and the X tools it needs.
win32-check: win32
	@cmake --build $(BUILD) -j $(JOBS) --target xmplay
	@tools/win32check/win32-check.sh $(BUILD) $(WIN32_BUILD)

# The show and the player in the browser: $(WEB_SITE)/ holds index.html (the show),
# player.html (the player), their scripts and wasm files: a static folder any web server
# serves as it is. Installs Debian's emscripten; assetgen runs on this machine, so the native
# build's is used. Every emcc run needs NODE_PATH to find the acorn Debian ships.
WEB_BUILD ?= build-wasm
WEB_SITE ?= build-web
WEB_PORT ?= 8000
WEB_PACKAGES := emscripten nodejs
WEB_CHECK_PACKAGES := chromium
WEB_ENV := NODE_PATH=/usr/share/nodejs

.PHONY: web web-serve web-check

web: configure
	@$(MAKE) --no-print-directory setup PACKAGES="$(PACKAGES) $(WEB_PACKAGES)"
	@cmake --build $(BUILD) -j $(JOBS) --target assetgen
	@$(WEB_ENV) cmake -S . -B $(WEB_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DQUORBELA_HOST_ASSETGEN=$(abspath $(BUILD))/tools/assetgen/assetgen \
	  -DQUORBELA_WEB_SITE=$(abspath $(WEB_SITE)) $(CMAKE_ARGS) >/dev/null
	@$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)
	@echo "web: $(WEB_SITE)/ holds index.html (the show) and player.html (the player); make web-serve serves it"

# The folder on http://127.0.0.1:$(WEB_PORT)/ (localhost counts as secure, so the AudioWorklet
# is there); Ctrl-C stops it.
web-serve: web
	@node tools/web/serve.mjs $(WEB_SITE) $(WEB_PORT)

# Both pages in headless Chromium, driven over the DevTools protocol: frame hashes against the
# native capture, the real-time show with its sound against xmplay --wav, the player page.
web-check: web
	@$(MAKE) --no-print-directory setup PACKAGES="$(PACKAGES) $(WEB_PACKAGES) $(WEB_CHECK_PACKAGES)"
	@cmake --build $(BUILD) -j $(JOBS) --target quorbela-capture xmplay
	@websocket=$$(node --experimental-websocket -e 0 2>/dev/null && echo --experimental-websocket); \
	  node $$websocket tools/web/web-check.mjs --site $(WEB_SITE) --native $(BUILD) --out $(WEB_BUILD)/check

# Releases: dist/ holds the Windows, Linux, browser and source archives, named with the
# version `xmplay --version` prints, and their SHA-256 sums (tools/dist/). The browser archive
# comes from `make web` once the Makefile has that target; until then it is skipped.
DIST          ?= dist
WEB_SITE      ?= build-web
DIST_PACKAGES := zip unzip xvfb xauth xdotool
DIST_HAS_WEB  := $(shell grep -q '^web:' $(firstword $(MAKEFILE_LIST)) && echo yes)

.PHONY: dist dist-check

dist: win32
	@$(MAKE) --no-print-directory setup PACKAGES="$(DIST_PACKAGES)"
	@cmake --build $(BUILD) -j $(JOBS) --target quorbela xmplay
ifeq ($(DIST_HAS_WEB),yes)
	@$(MAKE) --no-print-directory web
else
	@echo "dist: no browser build in this tree (make web); its archive is skipped"
endif
	@tools/dist/dist.sh $(BUILD) $(WIN32_BUILD) $(WEB_SITE) $(DIST)

# Each archive unpacked into an empty folder and used; the programs rebuilt from the source
# archive elsewhere must come out as the same bytes; dist.sh again must give the same bytes.
dist-check: dist
	@DIST_CMAKE_ARGS="$(CMAKE_ARGS)" JOBS=$(JOBS) tools/dist/dist-check.sh $(BUILD) $(WIN32_BUILD) $(WEB_SITE) $(DIST)
