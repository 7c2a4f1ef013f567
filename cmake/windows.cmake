# Cross build: setup.exe and the Windows test programs, run under Wine.
if(NOT HOST_BUILD_DIR)
  message(FATAL_ERROR "HOST_BUILD_DIR must name the host build (it makes the payload and resources)")
endif()

# Windows 95 and NT 4.0 run on the 486: the 32-bit build uses no instruction of later processors
# (CMOV first of all) and is tuned for today's. Code for later ones is chosen at run time (the
# CRC folding).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_options(-march=i486 -mtune=generic)
endif()

set(WIN_LIBS comctl32 shell32 ole32 oleaut32 uuid advapi32 gdi32 user32 version)
set(WIN_DEFINITIONS WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_IE=0x0500 WINVER=0x0500 _WIN32_WINNT=0x0500)

# The shipped programs (setup.exe and the payload's programs) carry no C runtime library: the
# first Windows 95 has no msvcrt.dll, and the MinGW runtime's startup and thread support import
# functions of later systems and are built for the Pentium Pro. common/runtime/ gives them their
# entry, the memory and string functions and the allocation operators; of the compiler's own
# library only libgcc's helpers are linked (64-bit division, the stack probe). Each program is
# linked with its symbols, which are kept in symbols/ for the check of its instructions, and is
# stripped afterwards.
file(GLOB RUNTIME_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/common/runtime/*.cpp)
add_library(tw_runtime STATIC ${RUNTIME_SOURCES})
tw_product_options(tw_runtime)
target_compile_options(tw_runtime PRIVATE -O2 -fno-builtin -fno-tree-loop-distribute-patterns)
target_compile_definitions(tw_runtime PRIVATE ${WIN_DEFINITIONS})
target_link_libraries(tw_runtime PUBLIC kernel32)
set(SYMBOLS_DIR ${CMAKE_BINARY_DIR}/symbols)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(SYMBOL_PREFIX _)  # 32-bit C names carry an underscore
endif()
function(tw_shipped_program target)
  # A warning (an entry not found, say) fails the link.
  target_link_options(${target} PRIVATE -static -nostdlib -Wl,--fatal-warnings)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")  # the entry comes from the runtime's library
    target_link_options(${target} PRIVATE -Wl,-u,${SYMBOL_PREFIX}WinMainCRTStartup)
  endif()
  target_link_libraries(${target} PRIVATE tw_runtime gcc)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SYMBOLS_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${SYMBOLS_DIR}/$<TARGET_FILE_NAME:${target}>
    COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

include(cmake/payload-programs.cmake)

# Test runs: one disposable Wine prefix each (cmake/wine-run.sh.in, tools/wine-session.sh).
# The 32-bit build's tests run in a 32-bit prefix, the 64-bit build's in a 64-bit one.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WINE_BITS 64)
  set(WINE_TEMPLATE ${CMAKE_BINARY_DIR}/../wine/template64)
else()
  set(WINE_BITS 32)
  set(WINE_TEMPLATE ${CMAKE_BINARY_DIR}/../wine/template)
endif()
set(WINE_TEMPLATE_SCRIPT ${CMAKE_SOURCE_DIR}/tools/wine-template.sh)
set(WINE_SESSION_SCRIPT ${CMAKE_SOURCE_DIR}/tools/wine-session.sh)
set(PAYLOAD_FILES ${PAYLOAD_OUT}/files)
set(TEST_ARTIFACTS ${CMAKE_BINARY_DIR}/../test-artifacts)
configure_file(cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The program's code as a library: setup.exe and the test programs link the same operations.
file(GLOB CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/setup/*.cpp ${CMAKE_SOURCE_DIR}/install/*.cpp ${CMAKE_SOURCE_DIR}/registry/*.cpp
  ${CMAKE_SOURCE_DIR}/shortcuts/*.cpp ${CMAKE_SOURCE_DIR}/inflate/*.cpp ${CMAKE_SOURCE_DIR}/common/*.cpp)
list(FILTER CORE_SOURCES EXCLUDE REGEX "(_host\\.cpp|/setup/winmain\\.cpp)$")
add_library(tw_core STATIC ${CORE_SOURCES})
tw_product_options(tw_core)
target_compile_options(tw_core PRIVATE -O2)
target_compile_definitions(tw_core PUBLIC ${WIN_DEFINITIONS})
target_link_libraries(tw_core PUBLIC ${WIN_LIBS})

# The embedded catalogue (cmake/payload-programs.cmake).
set_source_files_properties(${PAYLOAD_OUT}/payload_tables.cpp ${PAYLOAD_OUT}/payload_blob.S PROPERTIES GENERATED TRUE)
set_source_files_properties(${PAYLOAD_OUT}/payload_blob.S PROPERTIES OBJECT_DEPENDS ${PAYLOAD_OUT}/payload_blob.bin)
add_library(tw_catalogue STATIC ${PAYLOAD_OUT}/payload_tables.cpp ${PAYLOAD_OUT}/payload_blob.S)
target_include_directories(tw_catalogue PUBLIC ${CMAKE_SOURCE_DIR})
add_dependencies(tw_catalogue payload_catalogue)

# Resources: strings, dialogs, banner and icon (the pictures are drawn by the host build).
set(RESOURCE_OBJECT ${CMAKE_BINARY_DIR}/resources.o)
file(GLOB RESOURCE_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
add_custom_command(OUTPUT ${RESOURCE_OBJECT}
  COMMAND ${CMAKE_RC_COMPILER} -I${CMAKE_SOURCE_DIR}/resources -I${HOST_BUILD_DIR}/resources
          -c 65001 -O coff ${CMAKE_SOURCE_DIR}/resources/setup.rc ${RESOURCE_OBJECT}
  DEPENDS ${RESOURCE_INPUTS} ${HOST_BUILD_DIR}/resources/banner.bmp ${HOST_BUILD_DIR}/resources/setup.ico
  VERBATIM)

add_executable(setup WIN32 setup/winmain.cpp ${RESOURCE_OBJECT})
tw_product_options(setup)
target_link_libraries(setup PRIVATE tw_core tw_catalogue)
# The shipped program carries no debug information (about 640 KB of it); the test programs keep it.
tw_shipped_program(setup)

# GoogleTest, built from the machine's sources.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The UI driver: drives the wizard from another process, for the tests and for make run.
add_library(tw_ui_driver STATIC tools/uidriver/ui_driver.cpp)
target_include_directories(tw_ui_driver PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(tw_ui_driver PUBLIC ${WIN_DEFINITIONS})
target_link_libraries(tw_ui_driver PUBLIC ${WIN_LIBS})
add_executable(uidriver tools/uidriver/uidriver.cpp)
target_link_libraries(uidriver tw_ui_driver)

# Shared test support (prefix helpers, the copy run, the ZIP writer).
file(GLOB WIN_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/support/*.cpp)
add_library(tw_test_support STATIC ${WIN_SUPPORT_SOURCES} ${CMAKE_SOURCE_DIR}/tools/zip_writer.cpp)
target_include_directories(tw_test_support PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests/win)
target_link_libraries(tw_test_support PUBLIC tw_ui_driver tw_core GTest::gtest)

# What the 64-bit build cannot test, with the reason: tests/win/only-32-bit.txt ("test
# PROGRAM/SUITE.CASE: REASON" lines). Those cases are not registered in this build.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/only-32-bit.txt)
set(ONLY_32_BIT_TESTS)
if(WINE_BITS EQUAL 64)
  file(STRINGS ${CMAKE_SOURCE_DIR}/tests/win/only-32-bit.txt ONLY_32_BIT_TESTS REGEX "^test ")
  list(TRANSFORM ONLY_32_BIT_TESTS REPLACE "^test ([^:]+):.*" "\\1")
endif()

# Each tests/win/*_test.cpp is one test program; each of its tests runs in its own prefix.
file(GLOB WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_test.cpp)
foreach(source ${WIN_TEST_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source} ${RESOURCE_OBJECT})
  target_link_libraries(${name} tw_test_support tw_core tw_catalogue GTest::gtest_main)
  add_dependencies(${name} setup)
  # The whole installation reads the Program Manager commands from the desktop's trace.
  set(environment "")
  if(name STREQUAL "whole_installation_test")
    set(environment ENVIRONMENT TW_DESKTOP_TRACE=1)
  endif()
  set(left_out ${ONLY_32_BIT_TESTS})
  list(FILTER left_out INCLUDE REGEX "^${name}/")
  list(TRANSFORM left_out REPLACE "^${name}/" "")
  set(filter "")
  if(left_out)
    list(JOIN left_out ":" cases)
    set(filter TEST_FILTER "-${cases}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${filter}
                       PROPERTIES TIMEOUT 300 ${environment})
endforeach()

# Console programs used by tests and benchmarks (hold_file, copy_bench).
file(GLOB WIN_TOOL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/tools/*.cpp)
list(FILTER WIN_TOOL_SOURCES EXCLUDE REGEX "/decode_bench\\.cpp$")  # built below, with its own WriteAt
foreach(source ${WIN_TOOL_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} tw_test_support tw_core tw_catalogue)
endforeach()

# zlib for this target (Debian's libz-mingw-w64-dev), linked statically: the peer of the
# decoder in copy_bench.
find_library(MINGW_ZLIB libz.a REQUIRED)
target_link_libraries(copy_bench ${MINGW_ZLIB})
# The installation run in copy_bench uses the program's texts (progress, shortcut names).
target_sources(copy_bench PRIVATE ${RESOURCE_OBJECT})
# decode_bench: the decoder's sources with the program's options and its own WriteAt, which
# keeps the output in memory.
set(DECODER_SOURCES ${PORTABLE_SOURCES})
list(FILTER DECODER_SOURCES INCLUDE REGEX "^inflate/")
list(TRANSFORM DECODER_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)
add_executable(decode_bench tests/win/tools/decode_bench.cpp ${DECODER_SOURCES} install/payload_catalogue.cpp)
tw_product_options(decode_bench)
target_compile_options(decode_bench PRIVATE -O2)
target_include_directories(decode_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/win)
target_link_libraries(decode_bench tw_catalogue ${MINGW_ZLIB})

# Libraries of our own with chosen version resources, for the version-probe tests.
include(cmake/test-modules.cmake)
