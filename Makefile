# Tarnwick Pro 5.0 setup program.
#   make run     build setup.exe with the default product and run it under Wine (UNINSTALL=1:
#                then remove it again through its uninstall entry)
#   make test    build everything and run every test (host and Wine), ending with CTest's summary
#   make bench   benchmarks (decoder against zlib and libdeflate; copy run against a plain write;
#                the start-up check of the catalogue; Finish to the end, with and without the update)
#   make fuzz    ten minutes of fuzzing the decoder, five with each bit-buffer width (inputs of at
#                most 256 bytes, output to memory)
# Each target first installs what a fresh Debian 12 machine lacks.

BUILD   := $(CURDIR)/build
HOST    := $(BUILD)/host
WIN     := $(BUILD)/win
FUZZ    := $(BUILD)/fuzz
JOBS    ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

.PHONY: run test bench fuzz deps build host win fuzzbuild clean

run: build
	@UNINSTALL="$(UNINSTALL)" tools/run-setup.sh "$(BUILD)"

test: build fuzzbuild
	@printf 'subdirs("host" "win" "fuzz")\n' > $(BUILD)/CTestTestfile.cmake
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 900

bench: build
	$(HOST)/bin/inflate_bench $(HOST)/payload
	@tools/bench-copy.sh "$(BUILD)"
	@echo "== Start-up under Wine: the catalogue's check, and the time until the wizard is shown"
	@$(WIN)/wine-run.sh $(WIN)/bin/check_bench.exe
	@echo "== Finish under Wine: from Finish to the end of the program, without and with a needed update"
	@$(WIN)/wine-run.sh $(WIN)/bin/finish_bench.exe

fuzz: fuzzbuild
	mkdir -p $(FUZZ)/fuzz-corpus
	$(FUZZ)/bin/inflate_fuzz -max_len=256 -max_total_time=300 -rss_limit_mb=2048 $(FUZZ)/fuzz-corpus tests/fuzz/seeds
	$(FUZZ)/bin/inflate_fuzz_narrow -max_len=256 -max_total_time=300 -rss_limit_mb=2048 $(FUZZ)/fuzz-corpus tests/fuzz/seeds

deps:
	@tools/install-deps.sh

build: win

host: deps
	@cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(HOST) -j$(JOBS)

win: host
	@tools/wine-template.sh $(BUILD)/wine/template
	@cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw32.cmake -DHOST_BUILD_DIR=$(HOST) >/dev/null
	@cmake --build $(WIN) -j$(JOBS)

fuzzbuild: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DTW_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS)

clean:
	-mountpoint -q $(BUILD)/run/prefix && umount $(BUILD)/run/prefix
	rm -rf $(BUILD)
