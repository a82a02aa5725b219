# The command line of the picture checker: `assetgen --check DIR` prints "DIR/file: rule: detail"
# per problem and exits 0 without any, 1 with some, 2 on a usage error.
#   cmake -DGENERATOR=... -DSCRATCH=... -DREFERENCE=... -P CheckCommand.cmake
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
message(STATUS "assetgen --check answered as it should")
