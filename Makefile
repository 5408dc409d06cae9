# Tutor Bench: the two set-up commands are `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
JOBS ?= 2
DEMO ?= demo

BUILD_DIR := $(abspath $(BUILD))
SAMPLE_FILES := MXDBASE.FIL mxdbs1.idx mxdbs2.idx mxcat.idx mxweight.txt

.PHONY: run run-student test test-asan fuzz bench build deps clean install package format-check

# Fails when a source file differs from what clang-format makes of it.
format-check:
	find src tests bench fuzz tools -name '*.cpp' -o -name '*.h' | xargs clang-format --dry-run -Werror

deps:
	@./tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# Starts the program in demo/ (never in the source tree), first seeding demo/ with the
# sample drug database when it holds no drug data file of its own.
define seed-demo
	@mkdir -p $(DEMO)
	@if ! ls $(DEMO) | grep -qix 'MXDBASE.FIL'; then \
	    echo "Seeding $(DEMO)/ with the sample drug database"; \
	    for f in $(SAMPLE_FILES); do cp $(BUILD_DIR)/sample/$$f $(DEMO)/ || exit 1; done; \
	fi
endef

run: build
	$(seed-demo)
	cd $(DEMO) && $(BUILD_DIR)/src/tutorbench

# Starts Dosarion, the students' program, in the same demo/ folder: it lists the tests saved
# there for the student menu and writes its results into demo/results/. The sample drug database
# seeds demo/ as for make run, so that free practice has drugs to draw from.
run-student: build
	$(seed-demo)
	cd $(DEMO) && $(BUILD_DIR)/src/dosarion

# Installs both programs, their launchers, menu entries, icons and the sample drug database under PREFIX
# (DESTDIR=<folder> installs into a scratch root instead).
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian packages tutorbench_<version>_<arch>.deb (teachers) and dosarion_<version>_<arch>.deb
# (students), written into $(PACKAGE_BUILD)/: one build of their own with the distribution's
# hardening flags, of the installed parts only.
PACKAGE_BUILD ?= build-package
package: deps
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUTORBENCH_HARDENING=ON \
	    -DTUTORBENCH_BENCH=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
	cmake --build $(PACKAGE_BUILD) -j$(JOBS) --target tutorbench tutorbench_launcher dosarion dosarion_launcher \
	    sample_database package_documents_tutorbench package_documents_dosarion
	cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls $(PACKAGE_BUILD)/tutorbench_*.deb $(PACKAGE_BUILD)/dosarion_*.deb

# The tests build with warnings as errors.
test: deps $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DTUTORBENCH_WERROR=ON
	cmake --build $(BUILD) -j$(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTUTORBENCH_SANITIZE=ON -DTUTORBENCH_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The libFuzzer targets of fuzz/, built with clang; fuzz/run-fuzz.sh runs them when present.
fuzz:
	@./tools/install-deps.sh --fuzz
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTUTORBENCH_FUZZ=ON \
	    -DTUTORBENCH_UI=OFF -DTUTORBENCH_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_targets
	@if [ -x fuzz/run-fuzz.sh ]; then JOBS=$(JOBS) ./fuzz/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS); fi

bench: build
	./bench/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)
