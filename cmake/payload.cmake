# The default product: files generated from payload/manifest.txt, packed into the catalogue
# that setup.exe embeds. Output in ${PAYLOAD_OUT}:
#   files/               the product files as installed
#   archives/NAME.zip    one single-entry ZIP archive per file
#   payload_blob.bin     all archives, one after the other
#   payload_blob.S       embeds payload_blob.bin (.incbin)
#   payload_tables.cpp   payloadArchives, payloadSizes, payloadNames
set(PAYLOAD_OUT ${CMAKE_BINARY_DIR}/payload)
set(MANIFEST ${CMAKE_SOURCE_DIR}/payload/manifest.txt)

file(GLOB PRODUCT_GENERATOR_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/product/*.cpp)
add_executable(make-product tools/make_product.cpp tools/manifest.cpp ${PRODUCT_GENERATOR_SOURCES})
target_include_directories(make-product PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(make-product PRIVATE -O2)
add_executable(catalogue-names tools/catalogue_names.cpp tools/manifest.cpp)
target_include_directories(catalogue-names PRIVATE ${CMAKE_SOURCE_DIR})
add_executable(pack-catalogue tools/pack_catalogue.cpp tools/manifest.cpp tools/zip_writer.cpp)
target_include_directories(pack-catalogue PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(pack-catalogue ZLIB::ZLIB)
target_compile_options(pack-catalogue PRIVATE -O2)

add_custom_command(
  OUTPUT ${PAYLOAD_OUT}/files.stamp
  COMMAND make-product ${MANIFEST} ${PAYLOAD_OUT}/files
  COMMAND ${CMAKE_COMMAND} -E touch ${PAYLOAD_OUT}/files.stamp
  DEPENDS make-product ${MANIFEST}
  COMMENT "Generating the product files"
  VERBATIM)
add_custom_command(
  OUTPUT ${PAYLOAD_OUT}/payload_blob.bin ${PAYLOAD_OUT}/payload_blob.S ${PAYLOAD_OUT}/payload_tables.cpp
  COMMAND pack-catalogue ${MANIFEST} ${PAYLOAD_OUT}/files ${PAYLOAD_OUT}
  DEPENDS pack-catalogue ${PAYLOAD_OUT}/files.stamp
  COMMENT "Packing the payload catalogue"
  VERBATIM)
add_custom_target(payload_catalogue ALL DEPENDS ${PAYLOAD_OUT}/payload_tables.cpp)

# The catalogue as linked into host programs.
add_library(tw_catalogue STATIC ${PAYLOAD_OUT}/payload_tables.cpp ${PAYLOAD_OUT}/payload_blob.S)
target_include_directories(tw_catalogue PUBLIC ${CMAKE_SOURCE_DIR})
add_dependencies(tw_catalogue payload_catalogue)  # the packer runs once, not once per target
set_source_files_properties(${PAYLOAD_OUT}/payload_blob.S PROPERTIES OBJECT_DEPENDS ${PAYLOAD_OUT}/payload_blob.bin)

add_executable(catalogue-stats tools/catalogue_stats.cpp)
target_link_libraries(catalogue-stats tw_portable_stats tw_catalogue)
add_test(NAME payload.catalogue_stats_figures
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/host/check_catalogue_stats.py $<TARGET_FILE:catalogue-stats>)
