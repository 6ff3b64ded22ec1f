# make run       sets up, builds and runs zorsim on the built-in default scenario
# make test      sets up, builds and runs every test
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup build run test clean

all: build

setup:
	@scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/tools/zorsim/zorsim

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
