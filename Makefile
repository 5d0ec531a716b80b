# The two commands people use: `make run` and `make test`. Both install what the build needs
# (as root, with apt-get), configure, build, then run.
BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
ifeq ($(CI),true)
  CMAKE_ARGS += -DQUORBELA_WERROR=ON
endif

PACKAGES := cmake make g++ pkg-config libsdl2-dev libgtest-dev libgmock-dev libbenchmark-dev libpng-dev

.PHONY: all setup configure build run test bench sanitize tsan clang clean

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
	cd $(BUILD)-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -E '_NOT_BUILT$$'

# The whole build with clang, every library with ASan, UBSan and the fuzzer's coverage, and
# the suite with the fuzz targets' short runs. clang's runtimes (libFuzzer among them) are a
# package of their own.
CLANG_PACKAGES := clang libclang-rt-dev
clang:
	@$(MAKE) --no-print-directory setup PACKAGES="$(PACKAGES) $(CLANG_PACKAGES)"
	@cmake -S . -B $(BUILD)-clang -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORBELA_FUZZ=ON $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD)-clang -j $(JOBS)
	cd $(BUILD)-clang && ctest --output-on-failure -j $(JOBS)

# Until the show itself is built, `make run` shows and plays the generated song.
run: build
	@if [ -f $(BUILD)/assets/quorbela.xm ]; then \
	  $(BUILD)/tools/xmplay/xmplay --info $(BUILD)/assets/quorbela.xm; \
	  $(BUILD)/tools/xmplay/xmplay $(BUILD)/assets/quorbela.xm || \
	    echo "(no sound device here: try $(BUILD)/tools/xmplay/xmplay --wav song.wav $(BUILD)/assets/quorbela.xm)"; \
	else \
	  echo "The demo is not built yet: the player, assets and renderer come first."; \
	fi

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize $(BUILD)-tsan $(BUILD)-clang
