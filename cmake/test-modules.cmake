# Libraries of our own for the version-probe tests, each with the version resource it needs:
# bin/versions/NAME.dll for the product-version probe, and bin/comctl/NAME/comctl32.dll, stand-ins
# for the common-controls library that the update decision finds beside a program.
#   tw_probe_module(NAME FOLDER FILE [VERSION a,b,c,d BLOCK 040904E4 PRODUCT text
#                   TRANSLATION "0x409, 0x4E4"] [EXPORTS DllGetVersion InitCommonControlsEx])
# Without VERSION the library has no version resource.
set(PROBE_MODULE_TARGETS)
function(tw_probe_module name)
  cmake_parse_arguments(M "" "FOLDER;FILE;VERSION;BLOCK;PRODUCT;TRANSLATION" "EXPORTS" ${ARGN})
  set(target probe_module_${name})
  set(sources ${CMAKE_SOURCE_DIR}/tests/win/modules/probe_module.cpp)
  if(M_VERSION)
    set(MODULE_NAME ${name})
    set(MODULE_FILE_VERSION ${M_VERSION})
    set(MODULE_BLOCK ${M_BLOCK})
    set(MODULE_PRODUCT_VERSION "${M_PRODUCT}")
    set(MODULE_TRANSLATION_BLOCK "")
    if(M_TRANSLATION)
      set(MODULE_TRANSLATION_BLOCK "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", ${M_TRANSLATION}\n  END")
    endif()
    set(rc ${CMAKE_BINARY_DIR}/probe-modules/${name}.rc)
    configure_file(${CMAKE_SOURCE_DIR}/tests/win/modules/version_info.rc.in ${rc} @ONLY)
    add_custom_command(OUTPUT ${rc}.o COMMAND ${CMAKE_RC_COMPILER} -O coff ${rc} ${rc}.o DEPENDS ${rc} VERBATIM)
    list(APPEND sources ${rc}.o)
  endif()
  add_library(${target} SHARED ${sources})
  get_filename_component(base ${M_FILE} NAME_WE)
  foreach(export ${M_EXPORTS})
    if(export STREQUAL "DllGetVersion")
      target_compile_definitions(${target} PRIVATE EXPORT_DLL_GET_VERSION)
    elseif(export STREQUAL "InitCommonControls")
      target_compile_definitions(${target} PRIVATE EXPORT_INIT_COMMON_CONTROLS)
    elseif(export STREQUAL "InitCommonControlsEx")
      target_compile_definitions(${target} PRIVATE EXPORT_INIT_COMMON_CONTROLS_EX)
    endif()
  endforeach()
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${base}
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/${M_FOLDER}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/probe-modules/lib/${name})
  target_link_options(${target} PRIVATE -static -Wl,--kill-at)
  set(PROBE_MODULE_TARGETS ${PROBE_MODULE_TARGETS} ${target} PARENT_SCOPE)
endfunction()

# The product-version probe (bin/versions).
tw_probe_module(e4_five_dot_zero FOLDER versions FILE e4_five_dot_zero.dll
  VERSION 5,80,1,2 BLOCK 040904E4 PRODUCT "5.0" TRANSLATION "0x409, 0x4E4")
tw_probe_module(e4_fifty_dot_one FOLDER versions FILE e4_fifty_dot_one.dll
  VERSION 50,1,0,0 BLOCK 040904E4 PRODUCT "50.1" TRANSLATION "0x409, 0x4E4")
tw_probe_module(e4_four_dot_72 FOLDER versions FILE e4_four_dot_72.dll
  VERSION 4,72,3110,1 BLOCK 040904E4 PRODUCT "4.72" TRANSLATION "0x409, 0x4E4")
tw_probe_module(e4_empty FOLDER versions FILE e4_empty.dll
  VERSION 5,0,0,0 BLOCK 040904E4 PRODUCT "" TRANSLATION "0x409, 0x4E4")
tw_probe_module(b0_untranslated FOLDER versions FILE b0_untranslated.dll
  VERSION 5,0,0,7 BLOCK 040904B0 PRODUCT "5")
tw_probe_module(absent_table FOLDER versions FILE absent_table.dll
  VERSION 5,0,0,0 BLOCK 040904E4 PRODUCT "5.0" TRANSLATION "0x409, 0x4B0")
tw_probe_module(no_version FOLDER versions FILE no_version.dll)

# Common-controls stand-ins (bin/comctl/NAME/comctl32.dll).
set(BOTH_EXPORTS EXPORTS DllGetVersion InitCommonControlsEx)
tw_probe_module(v580 FOLDER comctl/v580 FILE comctl32.dll
  VERSION 5,80,2919,6400 BLOCK 040904B0 PRODUCT "5.80" TRANSLATION "0x409, 0x4B0" ${BOTH_EXPORTS})
tw_probe_module(v579 FOLDER comctl/v579 FILE comctl32.dll
  VERSION 5,79,65535,65535 BLOCK 040904B0 PRODUCT "5.79" TRANSLATION "0x409, 0x4B0" ${BOTH_EXPORTS})
tw_probe_module(v472 FOLDER comctl/v472 FILE comctl32.dll
  VERSION 4,72,3110,1 BLOCK 040904B0 PRODUCT "4.72" TRANSLATION "0x409, 0x4B0" ${BOTH_EXPORTS})
tw_probe_module(v470 FOLDER comctl/v470 FILE comctl32.dll
  VERSION 4,70,0,0 BLOCK 040904B0 PRODUCT "4.70" TRANSLATION "0x409, 0x4B0" ${BOTH_EXPORTS})
tw_probe_module(v581_no_getversion FOLDER comctl/v581_no_getversion FILE comctl32.dll
  VERSION 5,81,0,0 BLOCK 040904B0 PRODUCT "5.81" TRANSLATION "0x409, 0x4B0" EXPORTS InitCommonControlsEx)
tw_probe_module(v581_no_initex FOLDER comctl/v581_no_initex FILE comctl32.dll
  VERSION 5,81,0,0 BLOCK 040904B0 PRODUCT "5.81" TRANSLATION "0x409, 0x4B0" EXPORTS DllGetVersion)

# A library without "DllRegisterServer" that records each load (bin/versions/load_recorder.dll).
tw_probe_module(load_recorder FOLDER versions FILE load_recorder.dll)
target_compile_definitions(probe_module_load_recorder PRIVATE RECORD_ATTACH)
# A registration module that imports load_recorder.dll (bin/versions/imports_recorder.dll).
add_library(probe_module_imports_recorder SHARED ${CMAKE_SOURCE_DIR}/tests/win/modules/imports_recorder.cpp)
target_link_libraries(probe_module_imports_recorder probe_module_load_recorder)
set_target_properties(probe_module_imports_recorder PROPERTIES PREFIX "" OUTPUT_NAME imports_recorder
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/versions
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/probe-modules/lib/imports_recorder)
target_link_options(probe_module_imports_recorder PRIVATE -static -Wl,--kill-at)
list(APPEND PROBE_MODULE_TARGETS probe_module_imports_recorder)
# A common-controls library planted where a program would find it before the system's, which
# records each load the same way (bin/comctl/planted/comctl32.dll).
tw_probe_module(planted FOLDER comctl/planted FILE comctl32.dll EXPORTS InitCommonControls)
target_compile_definitions(probe_module_planted PRIVATE RECORD_ATTACH)
add_custom_target(probe_modules ALL DEPENDS ${PROBE_MODULE_TARGETS})
