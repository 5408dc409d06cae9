# Tutor Bench: the two set-up commands are `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= 2
DEMO ?= demo

.PHONY: run test test-asan fuzz bench build deps clean

deps:
	@./tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# Starts the program in demo/, seeded with the sample drug database when it holds none.
run: build
	@mkdir -p $(DEMO)
	@if ! ls $(DEMO) | grep -qix 'MXDBASE.FIL'; then \
	    echo "Seeding $(DEMO)/ with the sample drug database"; \
	    cp $(BUILD)/sample/MXDBASE.FIL $(BUILD)/sample/mxdbs1.idx $(BUILD)/sample/mxdbs2.idx $(BUILD)/sample/mxcat.idx $(DEMO)/; \
	fi
	cd $(DEMO) && $(CURDIR)/$(BUILD)/src/tutorbench

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTUTORBENCH_SANITIZE=ON -DTUTORBENCH_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

bench: build
	./bench/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
