# tiecheck_library(<folder> [DEPENDS <folder>...])
# Builds src/<folder>/*.cpp into the static library tiecheck_<folder>.
# Headers are included from the src/ root: #include "<folder>/<file>.h".
function(tiecheck_library folder)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX ".*/main\\.cpp$")
  set(target tiecheck_${folder})
  if(sources)
    add_library(${target} STATIC ${sources})
    # las, compression and io build on each other (the LAS reader derives
    # from the reader base, the chunk reader moves LAS points, the openers
    # build LAS readers): repeat the cycle on the link line until it resolves.
    set_property(TARGET ${target} PROPERTY LINK_INTERFACE_MULTIPLICITY 3)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    foreach(dep IN LISTS ARG_DEPENDS)
      target_link_libraries(${target} PUBLIC tiecheck_${dep})
    endforeach()
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    foreach(dep IN LISTS ARG_DEPENDS)
      target_link_libraries(${target} INTERFACE tiecheck_${dep})
    endforeach()
  endif()
  set_property(GLOBAL APPEND PROPERTY TIECHECK_LIBRARIES ${target})
endfunction()
