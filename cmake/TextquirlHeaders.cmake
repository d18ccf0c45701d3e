# Libraries show their users only their public headers. Each library's public
# headers get a link under one include root in the build tree
# (TEXTQUIRL_INCLUDE_DIR/engine/scramble.hpp …), the only directory it exports;
# its sources, and its private headers such as engine/internal/, are found
# through the source tree, which stays private to the library. A test that
# checks internals says so by adding the source tree itself.

get_filename_component(TEXTQUIRL_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(TEXTQUIRL_INCLUDE_DIR ${CMAKE_BINARY_DIR}/include)

# Adds `headers` (paths relative to the current source directory) to
# `target`'s sources and publishes them under the include root, with the
# same path as in the source tree:
#   textquirl_public_headers(textquirl_engine scramble.hpp) -> #include "engine/scramble.hpp"
function(textquirl_public_headers target)
  foreach(header IN LISTS ARGN)
    set(source ${CMAKE_CURRENT_SOURCE_DIR}/${header})
    file(RELATIVE_PATH path ${TEXTQUIRL_SOURCE_DIR} ${source})
    get_filename_component(dir ${TEXTQUIRL_INCLUDE_DIR}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${source} ${TEXTQUIRL_INCLUDE_DIR}/${path} SYMBOLIC)
  endforeach()
  target_sources(${target} PRIVATE ${ARGN})
  target_include_directories(${target}
    PRIVATE ${TEXTQUIRL_SOURCE_DIR}
    PUBLIC $<BUILD_INTERFACE:${TEXTQUIRL_INCLUDE_DIR}>)
endfunction()
