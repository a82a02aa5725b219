# Runs the generator with the sample product's title into a scratch folder and compares its
# output byte for byte with the committed assets:
#   cmake -DGENERATOR=... -DTITLE_FILE=... -DSCRATCH=... -DREFERENCE=... -P CompareAssets.cmake
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(COMMAND "${GENERATOR}" "${SCRATCH}" --title-file "${TITLE_FILE}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "generator failed: ${rc}")
endif()

file(GLOB made RELATIVE "${SCRATCH}" "${SCRATCH}/*.gif" "${SCRATCH}/*.bmp")
file(GLOB committed RELATIVE "${REFERENCE}" "${REFERENCE}/*.gif" "${REFERENCE}/*.bmp")
list(SORT made)
list(SORT committed)
if(NOT made STREQUAL committed)
  message(FATAL_ERROR "generated files [${made}] differ from committed files [${committed}]")
endif()

set(differing "")
foreach(name IN LISTS made)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}/${name}" "${REFERENCE}/${name}"
                  RESULT_VARIABLE different)
  if(NOT different EQUAL 0)
    list(APPEND differing "${name}")
  endif()
endforeach()
if(differing)
  message(FATAL_ERROR "generator output differs from assets/: ${differing} (run tools/make-assets.sh)")
endif()
list(LENGTH made count)
message(STATUS "${count} files reproduced exactly")
