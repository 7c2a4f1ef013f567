# clang build of the decoder's fuzz targets (make fuzz; a short run of each is part of make test).
# Only the decoder: the catalogue access needs the generated tables, which this build lacks.
#   inflate_fuzz         the decoder as the host builds it (64-bit bit buffer)
#   inflate_fuzz_narrow  the decoder with the 32-bit bit buffer of setup.exe
set(FUZZ_SOURCES ${PORTABLE_SOURCES})
list(FILTER FUZZ_SOURCES INCLUDE REGEX "^inflate/")
# The oracle is sanitised but carries no coverage hooks (see the file).
set_source_files_properties(tests/fuzz/reference_oracle.cpp PROPERTIES COMPILE_OPTIONS "-fno-sanitize=fuzzer;-O2")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz-corpus)

function(tw_fuzz_target name)
  # The target writes to memory through its own WriteAt.
  add_executable(${name} tests/fuzz/inflate_fuzz.cpp tests/fuzz/reference_oracle.cpp ${FUZZ_SOURCES})
  tw_product_options(${name})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined -O1 -g)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  add_test(NAME fuzz.${name}_short_run
    COMMAND ${name} -max_len=256 -runs=200000 -max_total_time=60 -rss_limit_mb=1024
            ${CMAKE_BINARY_DIR}/fuzz-corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds)
  set_tests_properties(fuzz.${name}_short_run PROPERTIES TIMEOUT 180)
endfunction()

tw_fuzz_target(inflate_fuzz)
tw_fuzz_target(inflate_fuzz_narrow)
target_compile_definitions(inflate_fuzz_narrow PRIVATE INFLATE_NARROW_BITS=1)
