# The product this build installs, read from one product file (INSTALLER_PRODUCT; the sample
# product by default). productgen, built here for the build machine, checks the file and writes
# the product's constants and setup.exe's version block; the six page pictures are the file's
# own (checked) or generated with its title, and so are the uninstaller's three, each drawn
# when the file's own folder lacks it. A bad file stops the configuration, so nothing is built
# from it.
set(INSTALLER_PRODUCT "${PROJECT_SOURCE_DIR}/examples/product.ini" CACHE FILEPATH
    "The product file this build installs")
get_filename_component(INSTALLER_PRODUCT_FILE "${INSTALLER_PRODUCT}" ABSOLUTE)
set(INSTALLER_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
set(_host "${CMAKE_BINARY_DIR}/host-tools")
find_program(INSTALLER_HOST_CXX NAMES c++ g++ clang++ REQUIRED)

# Builds a target of a host project (tools/<name>) with the build machine's compiler.
function(installer_host_tool project target)
  if(NOT EXISTS "${_host}/${project}/build.ninja")
    execute_process(COMMAND ${CMAKE_COMMAND} -S "${PROJECT_SOURCE_DIR}/tools/${project}" -B "${_host}/${project}"
                            -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${INSTALLER_HOST_CXX}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "configuring the host tool ${project} failed:\n${out}")
    endif()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build "${_host}/${project}" --target ${target}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building the host tool ${target} failed:\n${out}")
  endif()
endfunction()

installer_host_tool(productgen productgen)
set(INSTALLER_PRODUCTGEN "${_host}/productgen/productgen")
file(MAKE_DIRECTORY "${INSTALLER_GENERATED_DIR}/product" "${INSTALLER_GENERATED_DIR}/pictures")
execute_process(COMMAND "${INSTALLER_PRODUCTGEN}" "${INSTALLER_PRODUCT_FILE}"
                        --header "${INSTALLER_GENERATED_DIR}/product/ProductIdentity.h"
                        --rc "${INSTALLER_GENERATED_DIR}/product/version.rc"
                RESULT_VARIABLE rc ERROR_VARIABLE problems)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the product file ${INSTALLER_PRODUCT_FILE}:\n${problems}")
endif()
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${INSTALLER_PRODUCT_FILE}" "${PROJECT_SOURCE_DIR}/mediatool/ProductFile.cpp"
             "${PROJECT_SOURCE_DIR}/tools/productgen/main.cpp")

execute_process(COMMAND "${INSTALLER_PRODUCTGEN}" "${INSTALLER_PRODUCT_FILE}" --get pictures
                OUTPUT_VARIABLE _pictures RESULT_VARIABLE rc)
set(INSTALLER_PICTURES welcome install finish6 finish5 chooser exit)
# The uninstaller's pages: a product's Pictures folder may leave them out, and those it lacks
# are drawn with its title.
set(INSTALLER_REMOVE_PICTURES remove1 remove2 remove3)
set(_drawn "")
if(_pictures STREQUAL "")
  set(_drawn ${INSTALLER_PICTURES} ${INSTALLER_REMOVE_PICTURES})
else()
  # The folder itself, so that adding or removing one of them configures again.
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_pictures}")
  foreach(picture IN LISTS INSTALLER_REMOVE_PICTURES)
    if(NOT EXISTS "${_pictures}/${picture}.gif")
      list(APPEND _drawn ${picture})
    endif()
  endforeach()
endif()
set(_made "${_host}/pictures")
if(_drawn)
  # Generated with the title; again only when the title changes or a picture is missing.
  execute_process(COMMAND "${INSTALLER_PRODUCTGEN}" "${INSTALLER_PRODUCT_FILE}" --get title
                  OUTPUT_FILE "${_host}/title.new")
  file(READ "${_host}/title.new" _title_new HEX)
  set(_title_old "")
  if(EXISTS "${_made}/title.txt")
    file(READ "${_made}/title.txt" _title_old HEX)
  endif()
  set(_stale FALSE)
  if(NOT _title_new STREQUAL _title_old)
    set(_stale TRUE)
  endif()
  foreach(picture IN LISTS INSTALLER_PICTURES INSTALLER_REMOVE_PICTURES)
    if(NOT EXISTS "${_made}/${picture}.gif")
      set(_stale TRUE)
    endif()
  endforeach()
  if(_stale)
    installer_host_tool(productgen assetgen)
    file(REMOVE_RECURSE "${_made}")
    execute_process(COMMAND "${_host}/productgen/assetgen/assetgen" "${_made}" --title-file "${_host}/title.new"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "generating the page pictures failed:\n${out}")
    endif()
    file(COPY_FILE "${_host}/title.new" "${_made}/title.txt")
  endif()
endif()
foreach(picture IN LISTS INSTALLER_PICTURES INSTALLER_REMOVE_PICTURES)
  if(picture IN_LIST _drawn)
    configure_file("${_made}/${picture}.gif" "${INSTALLER_GENERATED_DIR}/pictures/${picture}.gif" COPYONLY)
  else()
    configure_file("${_pictures}/${picture}.gif" "${INSTALLER_GENERATED_DIR}/pictures/${picture}.gif" COPYONLY)
  endif()
endforeach()
