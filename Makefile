# The two commands of the README:
#   make demo   build the plug-ins and render the bundled demo
#   make test   build every preset and run every suite (native, 32-bit under qemu-i386, under
#               wine, sanitizers)
# Both install what is missing with apt first (quietly, and only when something is missing).

SHELL := /bin/bash
JOBS ?= 2
CMAKE_BUILD = cmake --build --preset

.PHONY: all deps demo test linux linux32 win32 win64 sanitize tsan install-lv2 \
        test-linux test-linux32 test-win32 test-win64 test-sanitize test-tsan mingw-deps clean dist test-dist

all: linux

deps:
	@scripts/install-deps.sh

# The Windows presets build static libpng and zlib for their target while configuring.
mingw-deps: deps

linux: deps
	@cmake --preset linux >/dev/null
	@$(CMAKE_BUILD) linux -j $(JOBS)

# The same sources for 32-bit x86 Linux; its programs run under qemu-i386.
linux32: deps
	@cmake --preset linux32 >/dev/null
	@$(CMAKE_BUILD) linux32 -j $(JOBS)

win32: mingw-deps
	@cmake --preset win32 >/dev/null
	@$(CMAKE_BUILD) win32 -j $(JOBS)

win64: mingw-deps
	@cmake --preset win64 >/dev/null
	@$(CMAKE_BUILD) win64 -j $(JOBS)

sanitize: deps
	@cmake --preset sanitize >/dev/null
	@$(CMAKE_BUILD) sanitize -j $(JOBS)

tsan: deps
	@cmake --preset tsan >/dev/null
	@$(CMAKE_BUILD) tsan -j $(JOBS)

test-linux: linux
	@ctest --preset linux
test-linux32: linux32
	@ctest --preset linux32
test-win32: win32
	@ctest --preset win32
test-win64: win64
	@ctest --preset win64
test-sanitize: sanitize
	@ctest --preset sanitize
test-tsan: tsan
	@ctest --preset tsan

# The release archives in dist/, from the presets' own build folders (scripts/dist.py).
dist: linux win32 win64
	@python3 scripts/dist.py --out dist
# The install check: each archive unpacked into an empty folder and run from there.
test-dist: dist
	@python3 tests/dist/check_dist.py dist

# Every suite; stops at the first preset that fails.
test: test-linux test-linux32 test-win32 test-win64 test-dist test-sanitize test-tsan
	@echo "All suites passed: linux, linux32 (qemu-i386), win32 (static checks), win64 (wine64), dist, sanitize, tsan."

demo: linux
	@scripts/demo.sh build/linux

# The LV2 bundle into the user's own LV2 folder, where every LV2 host looks. An earlier
# install of the bundle is replaced; nothing else there is touched.
LV2_DIR ?= $(HOME)/.lv2
install-lv2: linux
	@mkdir -p "$(LV2_DIR)"
	@rm -rf "$(LV2_DIR)/Orvex.lv2"
	@cp -R build/linux/lv2/Orvex.lv2 "$(LV2_DIR)/Orvex.lv2"
	@echo "installed $(LV2_DIR)/Orvex.lv2 (urn:dumek:orvex)"

clean:
	rm -rf build demo dist
