# What the release archive is made of (tools/make_release.py reads it from
# ${CMAKE_BINARY_DIR}/release_inputs.json): the version, the product's name
# (the signature's description), the program, the skin and message files, the
# skin pictures and the README for the router owner. The target
# fwu_release_files builds all of it and nothing else.
#
# Written at the end of configuration, like the release folder (dist.cmake):
# the skin pictures are declared by a folder configured after this one.
function(fwu_describe_release)
  get_property(bitmaps GLOBAL PROPERTY FWU_SKIN_BITMAP_DIR)
  if(NOT bitmaps OR NOT TARGET FirmwareUpdater)
    message(FATAL_ERROR "release: the program or the skin bitmaps are not configured")
  endif()
  set(res ${CMAKE_SOURCE_DIR}/res)
  set(readme ${CMAKE_BINARY_DIR}/release_README.txt)
  configure_file(${res}/README.txt.in ${readme} @ONLY)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/release_inputs.json CONTENT "{
  \"version\": \"${PROJECT_VERSION}\",
  \"product\": \"${FWU_PRODUCT}\",
  \"source\": \"${CMAKE_SOURCE_DIR}\",
  \"program\": \"$<TARGET_FILE:FirmwareUpdater>\",
  \"skin\": \"${res}/skin/English.ini\",
  \"messages\": \"${res}/MSG.ini\",
  \"bitmaps\": \"${bitmaps}\",
  \"readme\": \"${readme}\"
}
")
  add_custom_target(fwu_release_files DEPENDS FirmwareUpdater fwu_skin_bitmaps)
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL fwu_describe_release)
