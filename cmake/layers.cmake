# One static library per layer of the source tree. A layer's library links
# only the libraries of the layers below it, and a check program for each
# layer links the whole of that library (every object, used or not) against
# those alone: a call to a function of a higher layer, or of a layer beside
# it, leaves a symbol undefined and fails the build.
#
#   brondale_layer(<name> SOURCES ... [WINDOWS ...] [NATIVE ...]
#                  [LINKS <lower layers>...] [SYSTEM <Windows libraries>...])
#
# WINDOWS sources are built only for Windows (they need the real API beyond
# what the POSIX stand-in offers), NATIVE ones only natively. A layer with no
# source in this build is left out of it.
function(brondale_layer name)
  cmake_parse_arguments(LAYER "" "" "SOURCES;WINDOWS;NATIVE;LINKS;SYSTEM" ${ARGN})
  set(sources ${LAYER_SOURCES})
  if(BRONDALE_WINDOWS)
    list(APPEND sources ${LAYER_WINDOWS})
  else()
    list(APPEND sources ${LAYER_NATIVE})
  endif()
  if(NOT sources)
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_compile_options(${name} PRIVATE ${BRONDALE_COMMON_OPTIONS})
  foreach(lower ${LAYER_LINKS})
    if(TARGET ${lower})
      target_link_libraries(${name} PUBLIC ${lower})
    endif()
  endforeach()
  if(BRONDALE_WINDOWS AND LAYER_SYSTEM)
    target_link_libraries(${name} PUBLIC ${LAYER_SYSTEM})
  endif()
  add_executable(${name}_layercheck ${CMAKE_SOURCE_DIR}/cmake/layercheck.cpp)
  target_link_libraries(${name}_layercheck PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${name}>")
  set_target_properties(${name}_layercheck PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layercheck)
endfunction()
