# Tarnwick Pro 5.0 setup program.
#   make run     build setup.exe with the default product and run it under Wine (UNINSTALL=1:
#                then remove it again through its uninstall entry)
#   make test    build everything and run every test (host and Wine), ending with CTest's summary
#   make bench   benchmarks (decoder against zlib and libdeflate; copy run against a plain write;
#                the start-up check of the catalogue; Finish to the end, with and without the update)
#   make fuzz    ten minutes of fuzzing the decoder, five with each bit-buffer width (inputs of at
#                most 256 bytes, output to memory)
# Each target first installs what a fresh Debian 12 machine lacks.
#
# The product is the 32-bit setup.exe (build/win), built on every machine. The Wine tests and
# make run use it where this machine runs 32-bit programs; where it cannot, they use the same
# sources built for 64-bit Windows (build/win64) under 64-bit Wine (tools/windows-path.sh finds
# out by running the 32-bit Wine loader once). WINDOWS_BITS=64 takes the 64-bit path anywhere.

BUILD   := $(CURDIR)/build
HOST    := $(BUILD)/host
WIN     := $(BUILD)/win
WIN64   := $(BUILD)/win64
FUZZ    := $(BUILD)/fuzz
JOBS    ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

.PHONY: run test bench fuzz deps windows-path build host win win64 fuzzbuild clean

run: build
	@UNINSTALL="$(UNINSTALL)" tools/run-setup.sh "$(BUILD)"

test: build fuzzbuild
	@tools/run-tests.sh "$(BUILD)" $(JOBS)

bench: build
	$(HOST)/bin/inflate_bench $(HOST)/payload
	@tools/bench-wine.sh "$(BUILD)"

fuzz: fuzzbuild
	mkdir -p $(FUZZ)/fuzz-corpus
	$(FUZZ)/bin/inflate_fuzz -max_len=256 -max_total_time=300 -rss_limit_mb=2048 $(FUZZ)/fuzz-corpus tests/fuzz/seeds
	$(FUZZ)/bin/inflate_fuzz_narrow -max_len=256 -max_total_time=300 -rss_limit_mb=2048 $(FUZZ)/fuzz-corpus tests/fuzz/seeds

deps:
	@tools/install-deps.sh

build: win win64

# Which Windows build the Wine tests and make run use: build/windows-path (bits, then why).
windows-path: deps
	@mkdir -p $(BUILD)
	@tools/windows-path.sh "$(WINDOWS_BITS)" > $(BUILD)/windows-path.new
	@mv $(BUILD)/windows-path.new $(BUILD)/windows-path

host: deps
	@cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(HOST) -j$(JOBS)

win: host windows-path
	@if [ "$$(head -1 $(BUILD)/windows-path)" = 32 ]; then tools/wine-template.sh $(BUILD)/wine/template 32; fi
	@cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw32.cmake -DHOST_BUILD_DIR=$(HOST) >/dev/null
	@cmake --build $(WIN) -j$(JOBS)

# The 64-bit build, only on the 64-bit path.
win64: host windows-path
	@if [ "$$(head -1 $(BUILD)/windows-path)" = 64 ]; then \
	  tools/wine-template.sh $(BUILD)/wine/template64 64 && \
	  cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw64.cmake -DHOST_BUILD_DIR=$(HOST) >/dev/null && \
	  cmake --build $(WIN64) -j$(JOBS); fi

fuzzbuild: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DTW_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS)

clean:
	-mountpoint -q $(BUILD)/run/prefix && umount $(BUILD)/run/prefix
	rm -rf $(BUILD)
