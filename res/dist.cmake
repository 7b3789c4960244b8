# The release folder ${CMAKE_BINARY_DIR}/dist: the program, its skin and
# message files, the skin pictures below skin\ and the sample firmware and
# language packs below Firmware\ (the program is started from this folder,
# and the firmware paths in MSG.ini are relative to it).
#
# Assembled at the end of configuration, once every folder has declared its
# targets: the program (FirmwareUpdater) and the skin pictures come from
# other folders that are configured after this one.
function(fwu_assemble_dist)
  find_program(FWU_PYTHON3 NAMES python3 REQUIRED)
  # Paths are built here, inside the deferred call: variables of the folder
  # that scheduled it are not visible when it runs.
  set(dist ${CMAKE_BINARY_DIR}/dist)
  set(res ${CMAKE_SOURCE_DIR}/res)
  get_property(bitmaps GLOBAL PROPERTY FWU_SKIN_BITMAP_DIR)
  get_property(bitmap_stamp GLOBAL PROPERTY FWU_SKIN_BITMAP_STAMP)
  if(NOT bitmaps OR NOT bitmap_stamp OR NOT CMAKE_BINARY_DIR)
    message(FATAL_ERROR "dist: the skin bitmaps (tools/skin_gen) are not configured")
  endif()

  set(samples_stamp ${CMAKE_BINARY_DIR}/dist_samples.stamp)
  add_custom_command(
    OUTPUT ${samples_stamp}
    COMMAND ${FWU_PYTHON3} ${CMAKE_SOURCE_DIR}/tools/make_samples.py ${dist}/Firmware
    COMMAND ${CMAKE_COMMAND} -E touch ${samples_stamp}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_samples.py
    COMMENT "Writing the sample firmware and language packs"
    VERBATIM)

  set(skin_stamp ${CMAKE_BINARY_DIR}/dist_skin.stamp)
  add_custom_command(
    OUTPUT ${skin_stamp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dist}/skin
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${bitmaps} ${dist}/skin
    COMMAND ${CMAKE_COMMAND} -E remove -f ${dist}/skin/.stamp
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${res}/skin/English.ini ${res}/MSG.ini ${dist}
    COMMAND ${CMAKE_COMMAND} -E touch ${skin_stamp}
    DEPENDS ${bitmap_stamp} ${res}/skin/English.ini ${res}/MSG.ini
    COMMENT "Copying the skin into the release folder"
    VERBATIM)

  set(program_commands)
  if(TARGET FirmwareUpdater)
    set(program_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
                         $<TARGET_FILE:FirmwareUpdater> ${dist})
  else()
    message(STATUS "dist: no FirmwareUpdater target yet, release folder without the program")
  endif()
  add_custom_target(fwu_dist ALL
    ${program_commands}
    DEPENDS ${samples_stamp} ${skin_stamp}
    COMMENT "Release folder ${dist}"
    VERBATIM)
  add_dependencies(fwu_dist fwu_skin_bitmaps)
  if(TARGET FirmwareUpdater)
    add_dependencies(fwu_dist FirmwareUpdater)
  endif()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL fwu_assemble_dist)
