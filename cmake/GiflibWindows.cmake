# giflib for the Windows target, built from Debian's source package (with Debian's patches
# applied by dpkg-source) inside the build tree. tools/setup.sh downloads the package.
set(GIFLIB_SOURCE_PACKAGE_DIR /var/cache/installer-src CACHE PATH "Folder holding giflib_*.dsc")
file(GLOB _giflib_dsc ${GIFLIB_SOURCE_PACKAGE_DIR}/giflib_*.dsc)
if(NOT _giflib_dsc)
  message(FATAL_ERROR "No giflib source package in ${GIFLIB_SOURCE_PACKAGE_DIR}: run tools/setup.sh")
endif()
list(GET _giflib_dsc 0 _giflib_dsc)
set(_giflib_dir ${CMAKE_BINARY_DIR}/_deps/giflib)
if(NOT EXISTS ${_giflib_dir}/dgif_lib.c)
  file(REMOVE_RECURSE ${_giflib_dir})
  # dpkg-source copies the package's files beside the folder it unpacks into.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/_deps)
  execute_process(
    COMMAND dpkg-source --no-check -x ${_giflib_dsc} ${_giflib_dir}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/_deps
    RESULT_VARIABLE _giflib_result OUTPUT_QUIET)
  if(NOT _giflib_result EQUAL 0)
    message(FATAL_ERROR "dpkg-source could not unpack ${_giflib_dsc}")
  endif()
endif()

add_library(giflib STATIC
  ${_giflib_dir}/dgif_lib.c
  ${_giflib_dir}/gifalloc.c
  ${_giflib_dir}/gif_err.c
  ${_giflib_dir}/gif_hash.c
  ${_giflib_dir}/openbsd-reallocarray.c
)
target_include_directories(giflib SYSTEM PUBLIC ${_giflib_dir})
target_compile_options(giflib PRIVATE -w)
