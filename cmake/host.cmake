# Native build: the portable code, the build-time tools, host tests, benchmarks.
find_package(ZLIB REQUIRED)
find_package(GTest REQUIRED)
find_library(LIBDEFLATE deflate REQUIRED)

set(SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)

# The portable code, optimised (tools, benchmarks) and sanitised (tests).
add_library(tw_portable STATIC ${PORTABLE_SOURCES} inflate/write_at_host.cpp)
tw_product_options(tw_portable)
target_compile_options(tw_portable PRIVATE -O2)

add_library(tw_portable_checked STATIC ${PORTABLE_SOURCES} inflate/write_at_host.cpp)
tw_product_options(tw_portable_checked)
target_compile_options(tw_portable_checked PUBLIC ${SANITIZE})
target_link_options(tw_portable_checked PUBLIC ${SANITIZE})

# The decoder with its statistics hook, for catalogue-stats.
add_library(tw_portable_stats STATIC ${PORTABLE_SOURCES} inflate/write_at_host.cpp)
tw_product_options(tw_portable_stats)
target_compile_definitions(tw_portable_stats PUBLIC INFLATE_COLLECT_STATS=1)
target_compile_options(tw_portable_stats PRIVATE -O2)

include(cmake/payload.cmake)

# Host tools.
add_executable(inflate-raw tools/inflate_raw.cpp)
target_link_libraries(inflate-raw tw_portable)

# Host tests: every tests/host/*_test.cpp, sanitised.
file(GLOB HOST_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*.cpp)
add_executable(host_tests ${HOST_TEST_SOURCES} tools/zip_writer.cpp)
target_include_directories(host_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests/host)
target_link_libraries(host_tests tw_portable_checked ZLIB::ZLIB ${LIBDEFLATE} GTest::gtest_main)
target_compile_definitions(host_tests PRIVATE
  PAYLOAD_DIR="${PAYLOAD_OUT}" SOURCE_DIR="${CMAKE_SOURCE_DIR}" TOOLS_DIR="${CMAKE_BINARY_DIR}/bin")
gtest_discover_tests(host_tests DISCOVERY_MODE PRE_TEST)
# The catalogue tests read the embedded tables; the tool tests run the tools from TOOLS_DIR.
target_link_libraries(host_tests tw_catalogue)
add_dependencies(host_tests payload_catalogue make-product pack-catalogue inflate-raw)

# The shipped programs' own memory and string functions, renamed so that they stand beside the C
# library's in the host tests.
add_library(tw_runtime_strings_tested OBJECT common/runtime/string_functions.cpp)
foreach(name memcpy memmove memset memcmp memchr strlen strnlen strcmp strncmp strcpy strchr strrchr strspn strpbrk)
  target_compile_definitions(tw_runtime_strings_tested PRIVATE ${name}=Tested_${name})
endforeach()
target_compile_options(tw_runtime_strings_tested PRIVATE -O2 -fno-builtin -fno-tree-loop-distribute-patterns)
target_sources(host_tests PRIVATE $<TARGET_OBJECTS:tw_runtime_strings_tested>)

# The decoder's tests once more against the 32-bit bit buffer of setup.exe.
add_library(tw_inflate_narrow_checked STATIC inflate/inflate.cpp inflate/inflate_fast.cpp inflate/inflate_tables.cpp
            inflate/crc32.cpp inflate/write_at_host.cpp)
tw_product_options(tw_inflate_narrow_checked)
target_compile_definitions(tw_inflate_narrow_checked PUBLIC INFLATE_NARROW_BITS=1)
target_compile_options(tw_inflate_narrow_checked PUBLIC ${SANITIZE})
target_link_options(tw_inflate_narrow_checked PUBLIC ${SANITIZE})
file(GLOB INFLATE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/inflate_*_test.cpp)
list(FILTER INFLATE_TEST_SOURCES EXCLUDE REGEX "inflate_raw_tool_test")  # runs the host tool
add_executable(host_tests_narrow ${INFLATE_TEST_SOURCES})
target_include_directories(host_tests_narrow PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests/host)
target_link_libraries(host_tests_narrow tw_inflate_narrow_checked ZLIB::ZLIB ${LIBDEFLATE} GTest::gtest_main)
gtest_discover_tests(host_tests_narrow DISCOVERY_MODE PRE_TEST TEST_PREFIX "narrow.")

# Script tests (independent readers of the generated archives, and so on).
add_test(NAME payload.archives_read_by_python
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/host/check_archives.py
          ${CMAKE_SOURCE_DIR}/payload/manifest.txt ${PAYLOAD_OUT})

# Which Windows build the Wine tests use, against loaders that run, that are refused and that are missing.
add_test(NAME tools.windows_path_choice COMMAND bash ${CMAKE_SOURCE_DIR}/tests/host/windows_path_test.sh)

# The shipped 32-bit programs of build/win (setup.exe and the payload's programs) against what
# Windows 95, NT 4.0 and the 486 offer: their imports against tests/host/first_exports.tsv, and
# the instructions of their unstripped twins (build/win/symbols). The 32-bit build is made on every
# machine, whichever Windows build the Wine tests use.
set(WIN32_BUILD ${CMAKE_BINARY_DIR}/../win)
find_program(MINGW32_OBJDUMP i686-w64-mingw32-objdump REQUIRED)
add_test(NAME shipped.imports
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/host/check_shipped_programs.py imports
          ${CMAKE_SOURCE_DIR}/tests/host/first_exports.tsv ${WIN32_BUILD}/bin/setup.exe ${WIN32_BUILD}/payload-programs)
add_test(NAME shipped.instructions
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/host/check_shipped_programs.py instructions ${MINGW32_OBJDUMP}
          ${WIN32_BUILD}/bin/setup.exe=${WIN32_BUILD}/symbols/setup.exe
          ${WIN32_BUILD}/payload-programs=${WIN32_BUILD}/symbols)

# Benchmarks: make bench.
add_executable(inflate_bench tools/inflate_bench.cpp)
target_link_libraries(inflate_bench tw_portable ZLIB::ZLIB ${LIBDEFLATE})
target_compile_options(inflate_bench PRIVATE -O2)
add_dependencies(inflate_bench payload_catalogue)

# The banner bitmap and the icon, drawn at build time for the Windows resources.
add_executable(make-pictures tools/make_pictures.cpp)
target_include_directories(make-pictures PRIVATE ${CMAKE_SOURCE_DIR})
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/resources/banner.bmp ${CMAKE_BINARY_DIR}/resources/setup.ico
  COMMAND make-pictures ${CMAKE_BINARY_DIR}/resources
  DEPENDS make-pictures
  COMMENT "Drawing the banner and the icon"
  VERBATIM)
add_custom_target(pictures ALL DEPENDS ${CMAKE_BINARY_DIR}/resources/banner.bmp)
