# make run       sets up, builds and runs zorsim on the built-in default scenario
# make test      sets up, builds and runs every test
# make firmware  builds the IA32 firmware images (see below)
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

# make firmware  builds the IA32 PEIM images, their firmware files and the
#                firmware volume into $(BUILD)/firmware/ and prints the size
#                table. TSC_FREQUENCY_HZ is the platform's time-stamp-counter
#                rate; ZOR_MICROCODE_DIR a folder of vendor microcode images
#                (empty: our stand-ins); FV_BASE_ADDRESS the flash address
#                of the volume, to which its images are then rebased.
FIRMWARE := $(BUILD)/firmware
TSC_FREQUENCY_HZ ?= 2000000000
ZOR_MICROCODE_DIR ?=
FV_BASE_ADDRESS ?=

.PHONY: firmware

firmware: setup
	cmake -S tools/fwpack -B $(FIRMWARE)/host -G Ninja
	cmake --build $(FIRMWARE)/host -j $(JOBS)
	cmake -S firmware -B $(FIRMWARE) -G Ninja --toolchain $(CURDIR)/firmware/Ia32Toolchain.cmake \
	  -DFWPACK=$(abspath $(FIRMWARE)/host/fwpack) \
	  -DZOR_TSC_FREQUENCY_HZ=$(TSC_FREQUENCY_HZ) \
	  -DZOR_FV_BASE_ADDRESS=$(FV_BASE_ADDRESS) \
	  -DZOR_MICROCODE_DIR=$(if $(ZOR_MICROCODE_DIR),$(abspath $(ZOR_MICROCODE_DIR)))
	cmake --build $(FIRMWARE) -j $(JOBS)
	@cat $(FIRMWARE)/sizes.txt
