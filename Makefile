# Two entry points for a fresh Debian 12 machine:
#   make run   installs what is missing, builds, starts the code generator
#   make test  installs what is missing, builds, runs every test through ctest
BUILD    ?= build
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test setup build clean

setup:
	@bash scripts/setup.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --parallel $(JOBS)

run: build
	$(BUILD)/app/velkor-codegenerator

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel $(JOBS)

clean:
	rm -rf $(BUILD)
