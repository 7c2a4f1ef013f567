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

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/pack_catalogue.cpp)  # TEMPORARY guard
  include(cmake/payload.cmake)
endif()

# Host tools.
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/inflate_raw.cpp)  # TEMPORARY guard
add_executable(inflate-raw tools/inflate_raw.cpp)
target_link_libraries(inflate-raw tw_portable)
endif()

# Host tests: every tests/host/*_test.cpp, sanitised.
file(GLOB HOST_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*.cpp)
if(HOST_TEST_SOURCES)  # TEMPORARY guard
add_executable(host_tests ${HOST_TEST_SOURCES})
target_include_directories(host_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests/host)
target_link_libraries(host_tests tw_portable_checked ZLIB::ZLIB ${LIBDEFLATE} GTest::gtest_main)
target_compile_definitions(host_tests PRIVATE
  PAYLOAD_DIR="${PAYLOAD_OUT}" SOURCE_DIR="${CMAKE_SOURCE_DIR}" TOOLS_DIR="${CMAKE_BINARY_DIR}/bin")
gtest_discover_tests(host_tests DISCOVERY_MODE PRE_TEST)
if(TARGET tw_catalogue)  # the catalogue tests read the embedded tables
  target_link_libraries(host_tests tw_catalogue)
  add_dependencies(host_tests payload_catalogue make-product pack-catalogue)  # the tool tests run them
endif()
if(TARGET inflate-raw)  # its test runs the command from TOOLS_DIR
  add_dependencies(host_tests inflate-raw)
endif()
endif()

# Script tests (independent readers of the generated archives, and so on).
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/host/check_archives.py)  # TEMPORARY guard
add_test(NAME payload.archives_read_by_python
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/host/check_archives.py
          ${CMAKE_SOURCE_DIR}/payload/manifest.txt ${PAYLOAD_OUT})
endif()

# Benchmarks: make bench.
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/inflate_bench.cpp)  # TEMPORARY guard
add_executable(inflate_bench tools/inflate_bench.cpp)
target_link_libraries(inflate_bench tw_portable ZLIB::ZLIB ${LIBDEFLATE})
target_compile_options(inflate_bench PRIVATE -O2)
if(TARGET payload_catalogue)  # TEMPORARY guard
  add_dependencies(inflate_bench payload_catalogue)
endif()
endif()

# The banner bitmap and the icon, drawn at build time for the Windows resources.
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/make_pictures.cpp)  # TEMPORARY guard
add_executable(make-pictures tools/make_pictures.cpp)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/resources/banner.bmp ${CMAKE_BINARY_DIR}/resources/setup.ico
  COMMAND make-pictures ${CMAKE_BINARY_DIR}/resources
  DEPENDS make-pictures
  COMMENT "Drawing the banner and the icon"
  VERBATIM)
add_custom_target(pictures ALL DEPENDS ${CMAKE_BINARY_DIR}/resources/banner.bmp)
endif()
