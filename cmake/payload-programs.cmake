# The payload's real programs, built from our sources by the cross build, and the catalogue that
# setup.exe embeds: the host's make-product pads each program to its manifest size over the
# generated file (the manifest's "program" entries), and the host's pack-catalogue packs the lot.
# Output in ${PAYLOAD_OUT} (files/, archives/, payload_blob.bin, payload_blob.S, payload_tables.cpp).
set(PAYLOAD_PROGRAMS ${CMAKE_BINARY_DIR}/payload-programs)
set(PAYLOAD_OUT ${CMAKE_BINARY_DIR}/payload)
set(MANIFEST ${CMAKE_SOURCE_DIR}/payload/manifest.txt)
set(PAYLOAD_PROGRAM_TARGETS)

# A payload program: target, installed file name, sources; further arguments are its options.
function(tw_payload_program target file)
  get_filename_component(base ${file} NAME_WE)
  get_filename_component(extension ${file} LAST_EXT)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${base} SUFFIX ${extension}
    RUNTIME_OUTPUT_DIRECTORY ${PAYLOAD_PROGRAMS} ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/payload-programs-lib)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${target} PRIVATE -fno-exceptions -Os)
  target_link_libraries(${target} PRIVATE tw_text)
  tw_shipped_program(${target})
  set(PAYLOAD_PROGRAM_TARGETS ${PAYLOAD_PROGRAM_TARGETS} ${target} PARENT_SCOPE)
endfunction()

# The programs' formatted text and text files, compiled small; unused parts are dropped.
add_library(tw_text STATIC ${CMAKE_SOURCE_DIR}/common/format_text.cpp ${CMAKE_SOURCE_DIR}/common/text_file.cpp)
tw_product_options(tw_text)
target_compile_options(tw_text PRIVATE -Os -ffunction-sections -fdata-sections)
target_compile_definitions(tw_text PRIVATE ${WIN_DEFINITIONS})

# The self-registering modules, each with a class identifier of its own.
set(REGISTRATION_MODULES
  "lattice.ocx|{7E1D4A60-3C2B-11d3-9A41-0040A7C2E51B}|Tarnwick Lattice Control"
  "modeng1.dll|{7E1D4A61-3C2B-11d3-9A41-0040A7C2E51B}|Tarnwick Module Engine 1"
  "modeng2.dll|{7E1D4A62-3C2B-11d3-9A41-0040A7C2E51B}|Tarnwick Module Engine 2"
  "modeng3.dll|{7E1D4A63-3C2B-11d3-9A41-0040A7C2E51B}|Tarnwick Module Engine 3"
  "modeng4.dll|{7E1D4A64-3C2B-11d3-9A41-0040A7C2E51B}|Tarnwick Module Engine 4")
foreach(row ${REGISTRATION_MODULES})
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 file)
  list(GET fields 1 classId)
  list(GET fields 2 title)
  string(REPLACE "." "_" target "payload_${file}")
  add_library(${target} SHARED payload/programs/registration_module.cpp)
  target_compile_definitions(${target} PRIVATE "MODULE_CLASS_ID=\"${classId}\"" "MODULE_TITLE=\"${title}\"")
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  target_link_libraries(${target} PRIVATE advapi32)
  tw_payload_program(${target} ${file})
endforeach()

add_executable(payload_50comupd WIN32 payload/programs/common_controls_update.cpp)
tw_payload_program(payload_50comupd 50comupd.exe)

# The product's main programs: the same window, each with its own part of the product.
foreach(row "TWExplo.exe|Tarnwick Explorer" "TWick.exe|Tarnwick Toolbar")
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 file)
  list(GET fields 1 part)
  string(REPLACE "." "_" target "payload_${file}")
  add_executable(${target} WIN32 payload/programs/product_window.cpp)
  target_compile_definitions(${target} PRIVATE "PRODUCT_PROGRAM=\"${part}\"")
  tw_payload_program(${target} ${file})
endforeach()

# The uninstaller, with the names of the installed files taken from the manifest.
set(INSTALLED_FILES_SOURCE ${CMAKE_BINARY_DIR}/generated/installed_files.cpp)
add_custom_command(
  OUTPUT ${INSTALLED_FILES_SOURCE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND ${HOST_BUILD_DIR}/bin/catalogue-names ${MANIFEST} ${INSTALLED_FILES_SOURCE}
  DEPENDS ${HOST_BUILD_DIR}/bin/catalogue-names ${MANIFEST}
  COMMENT "Listing the installed files for the uninstaller"
  VERBATIM)
# It must fit in its 62464 bytes: unused code and data are dropped at link time.
file(GLOB UNINSTALLER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/payload/programs/uninstaller/*.cpp)
set(UNINSTALLER_SHARED_SOURCES
  registry/registry_cursor.cpp registry/key_trees.cpp registry/archive_associations.cpp
  registry/product_registration.cpp shortcuts/shell_links.cpp shortcuts/progman.cpp
  install/replace_at_restart.cpp setup/setup_state.cpp common/path_characters.cpp)
list(TRANSFORM UNINSTALLER_SHARED_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)
add_executable(payload_uninstal WIN32 ${UNINSTALLER_SOURCES} ${UNINSTALLER_SHARED_SOURCES} ${INSTALLED_FILES_SOURCE})
target_compile_definitions(payload_uninstal PRIVATE ${WIN_DEFINITIONS})
target_compile_options(payload_uninstal PRIVATE -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables)
target_link_options(payload_uninstal PRIVATE -Wl,--gc-sections)
target_link_libraries(payload_uninstal PRIVATE comctl32 shell32 ole32 uuid advapi32 user32)
tw_payload_program(payload_uninstal UnInstal.exe)

set(PAYLOAD_PROGRAM_FILES)
foreach(target ${PAYLOAD_PROGRAM_TARGETS})
  list(APPEND PAYLOAD_PROGRAM_FILES $<TARGET_FILE:${target}>)
endforeach()

add_custom_command(
  OUTPUT ${PAYLOAD_OUT}/files.stamp
  COMMAND ${HOST_BUILD_DIR}/bin/make-product ${MANIFEST} ${PAYLOAD_OUT}/files ${PAYLOAD_PROGRAMS}
  COMMAND ${CMAKE_COMMAND} -E touch ${PAYLOAD_OUT}/files.stamp
  DEPENDS ${HOST_BUILD_DIR}/bin/make-product ${MANIFEST} ${PAYLOAD_PROGRAM_TARGETS} ${PAYLOAD_PROGRAM_FILES}
  COMMENT "Generating the product files with the payload programs"
  VERBATIM)
add_custom_command(
  OUTPUT ${PAYLOAD_OUT}/payload_blob.bin ${PAYLOAD_OUT}/payload_blob.S ${PAYLOAD_OUT}/payload_tables.cpp
  COMMAND ${HOST_BUILD_DIR}/bin/pack-catalogue ${MANIFEST} ${PAYLOAD_OUT}/files ${PAYLOAD_OUT}
  DEPENDS ${HOST_BUILD_DIR}/bin/pack-catalogue ${PAYLOAD_OUT}/files.stamp
  COMMENT "Packing the payload catalogue"
  VERBATIM)
add_custom_target(payload_catalogue ALL DEPENDS ${PAYLOAD_OUT}/payload_tables.cpp)
