# The command line of assetgen: `--check DIR` prints "DIR/file: rule: detail" per problem and
# exits 0 without any, 1 with some, 2 on a usage error; `--title TEXT` (or `--title-file FILE`)
# takes the title whole, is required, and refuses a title the fonts cannot draw before writing
# anything.
#   cmake -DGENERATOR=... -DSCRATCH=... -DREFERENCE=... -P Command.cmake
function(expect what rc out want_rc want_out)
  if(NOT rc STREQUAL want_rc OR NOT out STREQUAL want_out)
    message(FATAL_ERROR "${what}: exit ${rc}, printed\n${out}\nwanted exit ${want_rc}, printed\n${want_out}")
  endif()
endfunction()

execute_process(COMMAND "${GENERATOR}" --check "${REFERENCE}" RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect("committed pictures" "${rc}" "${out}" 0 "")

file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
file(WRITE "${SCRATCH}/welcome.gif" "not a picture\n")
file(COPY "${REFERENCE}/exit.gif" DESTINATION "${SCRATCH}")
execute_process(COMMAND "${GENERATOR}" --check "${SCRATCH}/" RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect("a folder with one bad and one good picture" "${rc}" "${out}" 1
"${SCRATCH}/welcome.gif: format: not a GIF file (it does not begin with \"GIF\")
${SCRATCH}/install.gif: missing: no such file
${SCRATCH}/finish6.gif: missing: no such file
${SCRATCH}/finish5.gif: missing: no such file
${SCRATCH}/chooser.gif: missing: no such file
")

execute_process(COMMAND "${GENERATOR}" --check RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_QUIET)
expect("--check without a folder" "${rc}" "${out}" 2 "")

execute_process(COMMAND "${GENERATOR}" "${SCRATCH}/titled" --title RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_QUIET)
expect("--title without a title" "${rc}" "${out}" 2 "")
execute_process(COMMAND "${GENERATOR}" "${SCRATCH}/titled" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_QUIET)
expect("pictures without a title" "${rc}" "${out}" 2 "")
# A title file is taken byte for byte: the same pictures as the same title on the command line.
file(WRITE "${SCRATCH}/title.txt" "-Telmorquistan-")
execute_process(COMMAND "${GENERATOR}" "${SCRATCH}/from-file" --title-file "${SCRATCH}/title.txt"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect("a title from a file" "${rc}" "${out}" 0 "")
execute_process(COMMAND "${GENERATOR}" "${SCRATCH}/titled" --title "Telm 中文" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
expect("a title the fonts cannot draw" "${rc}" "${out}" 1 "")
if(NOT err MATCHES "U\\+4E2D" OR EXISTS "${SCRATCH}/titled")
  message(FATAL_ERROR "a title the fonts cannot draw: printed '${err}', wrote ${SCRATCH}/titled")
endif()
execute_process(COMMAND "${GENERATOR}" "${SCRATCH}/titled" --title "-Telmorquistan-" RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect("a title that starts with a dash" "${rc}" "${out}" 0 "")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}/titled/welcome.gif" "${REFERENCE}/welcome.gif"
                RESULT_VARIABLE different)
if(different EQUAL 0)
  message(FATAL_ERROR "the welcome picture with the title -Telmorquistan- is the sample's")
endif()
execute_process(COMMAND "${GENERATOR}" --check "${SCRATCH}/titled" RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect("pictures with a title that starts with a dash" "${rc}" "${out}" 0 "")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}/titled/welcome.gif" "${SCRATCH}/from-file/welcome.gif"
                RESULT_VARIABLE different)
if(NOT different EQUAL 0)
  message(FATAL_ERROR "the title from a file gave other pictures than the same title on the command line")
endif()
message(STATUS "assetgen's command line answered as it should")
