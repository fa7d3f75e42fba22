# The layers of src/, lowest first:
#   util -> energyloss -> core -> switches -> axes -> positions -> actions
#   core -> beam -> actions;  actions -> app -> platform
# (the beam and the motion subsystems are peers: neither sees the other)
# A layer's code includes its own folder and the folders below it, never one
# above. Each layer's library gets an include folder that holds a link to its
# own source folder only; a library sees the folders below through the
# libraries it links, so an include of a higher layer does not build.
function(tarvex_layer_includes target folder)
  set(view ${CMAKE_BINARY_DIR}/layers/${folder})
  if(NOT EXISTS ${view}/${folder})
    file(MAKE_DIRECTORY ${view})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${view}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${view})
endfunction()

# tarvex_layer(target folder [sources...] LINKS lower targets...): a static
# library of the given sources, or of every .cpp of src/<folder> when none are
# given.
function(tarvex_layer target folder)
  cmake_parse_arguments(LAYER "" "" "SOURCES;LINKS" ${ARGN})
  if(NOT LAYER_SOURCES)
    file(GLOB LAYER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
  endif()
  add_library(${target} STATIC ${LAYER_SOURCES})
  tarvex_layer_includes(${target} ${folder})
  target_link_libraries(${target} PUBLIC ${LAYER_LINKS})
endfunction()
