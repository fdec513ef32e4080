# One entry point for building and testing; CMake does the work underneath.
#   make          install missing Debian packages, build native, win32 and win64;
#                 the modules land in dist/win32/ZUROV.DLL and dist/win64/ZUROV.DLL
#   make dist     build, then the Windows Installer packages dist/ZUROV-x86.msi,
#                 dist/ZUROV-x64.msi and dist/ZUROV-user.msi (installer/, wixl), the
#                 client authors' header dist/sdk/kelvora_link.h, and the extension as the
#                 stores take it: dist/store/kelvora-link-chromium.zip (Chrome, Edge) and
#                 dist/store/kelvora-link-firefox.xpi (Firefox, unsigned)
#   make demo     build, then play examples/demo.html through the module in pagerunner under
#                 Wine 10 (tools/wine10/, built once per machine), the sample client drawing
#                 in each box; a screenshot lands in $(BUILD)/demo.png
#   make demo BROWSER=chromium   the same page in a real browser (the embedded Chromium
#                 engine, fetched once per machine) with the installed package; a
#                 screenshot lands in $(BUILD)/demo-chromium.png
#   make demo BROWSER=today   the same page in Debian's chromium and firefox-esr with the
#                 extension and the native-messaging host under Wine 10; screenshots in
#                 $(BUILD)/demo-today-chromium.png and demo-today-firefox.png
#   make test     build and package, then run the native tests, the fuzz smoke runs and the
#                 Wine-side tests (the install tests use the packages in dist/; the picture
#                 tests run under Wine 10)
#   make test32   build and package, then the Wine-side tests built for i686, run against
#                 dist/win32/ZUROV.DLL and the packages under 32-bit Wine in an emulated i386
#                 machine (tools/i386-machine)
#   make demo32   play examples/demo.html through dist/win32/ZUROV.DLL in that machine;
#                 BROWSER=chromium plays it there in a real 32-bit browser (the embedded
#                 engine of Chromium 21, fetched once per machine) with the installed
#                 ZUROV-x86.msi; a screenshot lands in $(BUILD)/demo32-chromium.png
#   make fuzz     run each fuzzer longer (FUZZ_SECONDS, default 600)
#   make bench    time loading the module and its calls against direct platform calls, under Wine;
#                 then how far the host's windows lag a scrolling page in today's browsers
#   make clean    remove build/ and dist/
# BUILD names the build folder (default build), so that several checkouts or people can
# build side by side. SIGN_KEY and SIGN_CERT (PEM files) sign both modules and the packages
# with Authenticode; without them a throwaway self-signed certificate made in
# $(BUILD)/signing/ signs them, so the signing path always runs (docs/security.md).
BUILD ?= build
FUZZ_SECONDS ?= 600
CMAKE_FLAGS ?=
SIGN_KEY ?=
SIGN_CERT ?=
ifeq ($(strip $(SIGN_KEY)$(SIGN_CERT)),)
TEST_CERT := $(abspath $(BUILD))/signing
SIGN_KEY_FILE := $(TEST_CERT)/test-key.pem
SIGN_CERT_FILE := $(TEST_CERT)/test-cert.pem
else
TEST_CERT :=
SIGN_KEY_FILE := $(abspath $(SIGN_KEY))
SIGN_CERT_FILE := $(abspath $(SIGN_CERT))
endif
# SIGN_TIMESTAMP: an RFC 3161 time-stamping URL for real certificates (cmake/sign-file.sh).
export SIGN_TIMESTAMP
SIGNING := -DZUROV_SIGN_KEY=$(SIGN_KEY_FILE) -DZUROV_SIGN_CERT=$(SIGN_CERT_FILE)

# Where the browser engines are kept once fetched (tests/real_browser/engine.sh), shared by
# every clone on the machine and shared with the emulated i386 PC.
CEF_CACHE ?= /var/cache/zurov-cef

NATIVE := $(BUILD)/native
WIN32  := $(BUILD)/win32
WIN64  := $(BUILD)/win64

.PHONY: all deps native win32 win64 dist test test-native test-win32 test-wine fuzz bench clean demo \
  win32-tests test32 test32-build i386-image demo32

all: native win32 win64

deps:
	@bash cmake/install-packages.sh
	@$(if $(TEST_CERT),bash cmake/test-certificate.sh $(TEST_CERT))

native: deps
	@cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(NATIVE)

win32: deps
	@cmake -S . -B $(WIN32) -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	  --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DZUROV_CEF_CACHE=$(CEF_CACHE) \
	  $(SIGNING) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(WIN32)
	@mkdir -p dist/win32 && cp $(WIN32)/bin/ZUROV.DLL $(WIN32)/bin/zurov-link.exe dist/win32/

win64: deps
	@cmake -S . -B $(WIN64) -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	  --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DZUROV_CEF_CACHE=$(CEF_CACHE) \
	  $(SIGNING) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(WIN64)
	@mkdir -p dist/win64 && cp $(WIN64)/bin/ZUROV.DLL $(WIN64)/bin/zurov-link.exe dist/win64/

# The packages need both modules and both hosts (signed as they are linked); each package is
# signed too. dist/extension/ is the browser extension, unpacked, as browsers load it.
dist: win32 win64
	@mkdir -p dist/sdk && cp include/kelvora_link.h dist/sdk/kelvora_link.h
	@rm -rf dist/extension && cp -r extension dist/extension
	@python3 installer/build-store-packages.py dist/store
	@SIGN_KEY=$(SIGN_KEY_FILE) SIGN_CERT=$(SIGN_CERT_FILE) \
	  bash installer/build-packages.sh dist dist/win32/ZUROV.DLL dist/win64/ZUROV.DLL

test: all dist
	@$(MAKE) --no-print-directory test-native test-win32 test-wine

test-native:
	@ctest --test-dir $(NATIVE) --output-on-failure -j2

# The 32-bit module cannot run here; its build checks it as a file (test32 runs the rest).
test-win32:
	@ctest --test-dir $(WIN32) --output-on-failure -L file

# One test at a time: the Windows-side tests share one display, registry and window class.
# Label unsteady: tests that the Wine under them does not yet let pass every run.
test-wine:
	@ctest --test-dir $(WIN64) --output-on-failure -LE 'bench|unsteady'

# The module's load and call costs against the same platform calls made directly, under Wine.
bench: win64
	@bash -o pipefail -c "ctest --test-dir $(WIN64) -L bench --output-on-failure -V | sed -nE 's/^[0-9]+: (medians|load|NPP_|launch|today)/\\1/p'"

# The win32 folder builds the Windows-side tests too once asked: the module beside them is
# the very file in dist/win32. They run in the emulated machine, not here.
win32-tests: win32
	@cmake -S . -B $(WIN32) -DCMAKE_CROSSCOMPILING_EMULATOR=$(CURDIR)/cmake/wine-run.sh >/dev/null
	@cmake --build $(WIN32)
	@cp $(WIN32)/bin/ZUROV.DLL $(WIN32)/bin/zurov-link.exe dist/win32/

# The emulated i386 machine (the first run on a machine builds its image, about ten minutes,
# while the modules, the tests and the packages build). Left out there: bench (timings of an
# emulated machine mean nothing). The packages of dist/ are installed there as on a 32-bit
# Windows; the older version that the install test upgrades is built here first, by its
# fixture (wixl is a tool of this machine), and so is the 32-bit browser engine fetched
# (the machine has no npm); the machine's ctest then leaves both fixtures out and reads the
# engine from the cache, shared with it.
MACHINE := bash tools/i386-machine/run.sh
SESSION := bash tools/i386-machine/with-prefix.sh
TEST32_EXCLUDE ?= bench
test32:
	@$(MAKE) --no-print-directory -j2 i386-image test32-build
	@ctest --test-dir $(WIN32) --output-on-failure -R '^(install_old_packages|browser_engine32)$$'
	@$(MACHINE) --timeout 4200 --share $(CEF_CACHE) --log $(BUILD)/i386 -- $(SESSION) $(WIN32)/wine \
	  ctest --test-dir $(WIN32) --output-on-failure -L wine -LE '$(TEST32_EXCLUDE)' \
	  -FS 'old_packages|browser_engine32'

i386-image: deps
	@bash tools/i386-machine/image.sh >/dev/null

# One after the other: the packages take dist/win32/ZUROV.DLL, which win32-tests copies.
test32-build: win32-tests
	@$(MAKE) --no-print-directory dist

demo32: $(if $(BROWSER),test32-build,win32)
ifeq ($(BROWSER),)
	@$(MACHINE) --timeout 900 --log $(BUILD)/i386-demo -- $(SESSION) $(BUILD)/demo32/wine \
	  env BUILD=$(BUILD) DEMO_TARGET=win32 bash tools/demo.sh
else ifeq ($(BROWSER),chromium)
	@ctest --test-dir $(WIN32) --output-on-failure -R '^browser_engine32$$' >/dev/null
	@$(MACHINE) --timeout 1200 --share $(CEF_CACHE) --log $(BUILD)/i386-demo -- \
	  $(SESSION) $(BUILD)/demo32-chromium/wine env BUILD=$(BUILD) \
	  ZUROV_CEF_DIR=$(CEF_CACHE)/$$(sed -n 's/^set(ZUROV_CEF1_VERSION \(.*\))$$/\1/p' tests/real_browser32/CMakeLists.txt) \
	  bash tests/real_browser32/demo.sh
	@convert $(BUILD)/demo32-chromium.bmp $(BUILD)/demo32-chromium.png && rm -f $(BUILD)/demo32-chromium.bmp && \
	  echo "== screenshot of the browser window: $(BUILD)/demo32-chromium.png"
else
	@echo "make demo32: BROWSER is empty (pagerunner) or chromium" >&2; exit 2
endif

fuzz: native
	@ZUROV_FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --test-dir $(NATIVE) -L fuzz --output-on-failure -j2

# Plays examples/demo.html through dist/win64/ZUROV.DLL with the sample client as the client,
# under Wine 10; BROWSER=chromium plays it in the real browser instead
# (tests/real_browser/demo.sh), BROWSER=today in today's browsers.
BROWSER ?=
demo: $(if $(BROWSER),dist,all)
ifeq ($(BROWSER),)
	@BUILD=$(BUILD) bash tools/demo.sh
else ifeq ($(BROWSER),chromium)
	@BUILD=$(BUILD) bash tests/real_browser/demo.sh
else ifeq ($(BROWSER),today)
	@BUILD=$(BUILD) node tests/today_browser/demo.mjs
else
	@echo "make demo: BROWSER is empty (pagerunner), chromium or today" >&2; exit 2
endif

clean:
	rm -rf $(BUILD) dist
