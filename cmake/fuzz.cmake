# clang build of the decoder's fuzz target (make fuzz; a short run is part of make test).
# Only the decoder: the catalogue access needs the generated tables, which this build lacks.
set(FUZZ_SOURCES ${PORTABLE_SOURCES})
list(FILTER FUZZ_SOURCES INCLUDE REGEX "^inflate/")
# The target writes to memory through its own WriteAt.
add_executable(inflate_fuzz tests/fuzz/inflate_fuzz.cpp tests/fuzz/reference_oracle.cpp ${FUZZ_SOURCES})
# The oracle is sanitised but carries no coverage hooks (see the file).
set_source_files_properties(tests/fuzz/reference_oracle.cpp PROPERTIES COMPILE_OPTIONS "-fno-sanitize=fuzzer;-O2")
tw_product_options(inflate_fuzz)
target_compile_options(inflate_fuzz PRIVATE -fsanitize=fuzzer,address,undefined -O1 -g)
target_link_options(inflate_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
add_test(NAME fuzz.inflate_short_run
  COMMAND inflate_fuzz -max_len=256 -runs=200000 -max_total_time=60 -rss_limit_mb=1024
          ${CMAKE_BINARY_DIR}/fuzz-corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds)
set_tests_properties(fuzz.inflate_short_run PROPERTIES TIMEOUT 180)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz-corpus)
