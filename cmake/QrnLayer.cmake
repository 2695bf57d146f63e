# The library's layers: a folder of sources is a layer, and a layer may
# include its own headers and those of the layers beneath it, nothing else.
#
# Every source names its headers from a root ("framework/KvRect.h"). Each
# layer compiles against an include root of its own, <build>/layers/<layer>/,
# which holds a symbolic link per folder the layer may see (itself and the
# layers beneath it, transitively) and nothing else; no include folder is
# shared across the tree. A header of a layer above is then simply not
# there: "#include "script/YThread.h"" in a trinket source stops the build
# with "No such file or directory". The folders a layer sees follow from the
# same BENEATH list that links it, so linking and including cannot disagree.
include_guard(GLOBAL)
include(GNUInstallDirs)

# qrn_include_root(TARGET LAYER FOLDER...): TARGET compiles against
# <build>/layers/LAYER/, which holds FOLDER... of the source tree.
function(qrn_include_root target layer)
  set(root ${CMAKE_BINARY_DIR}/layers/${layer})
  # Rebuilt on every configure, so that a folder taken out of the list is gone.
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(folder IN LISTS ARGN)
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${root})
  set_property(GLOBAL PROPERTY QRN_LAYER_${layer}_SEES ${ARGN})
endfunction()

# qrn_check_headers(LAYER TARGET HEADER...): each HEADER of the folder LAYER
# compiled alone, as the first line of a source of its own, against LAYER's
# include root and TARGET's usage requirements. A header that no source of
# its layer includes is still held to the layer's bounds this way, and a
# header that leans on what its includer happened to include first does not
# build. The objects go nowhere; building them is the check.
function(qrn_check_headers layer target)
  # Structure, not code: the normal native build checks it for all builds.
  if(EMSCRIPTEN OR QRN_SANITIZE OR QRN_FUZZ)
    return()
  endif()
  set(sources)
  foreach(header IN LISTS ARGN)
    string(MAKE_C_IDENTIFIER ${header} name)
    set(source ${CMAKE_BINARY_DIR}/header-checks/${layer}/${name}.cpp)
    set(text "#include \"${layer}/${header}\"\n")
    # Written only when it changes, so a configure does not rebuild the checks.
    if(EXISTS ${source})
      file(READ ${source} old)
    else()
      set(old "")
    endif()
    if(NOT old STREQUAL text)
      file(WRITE ${source} ${text})
    endif()
    list(APPEND sources ${source})
  endforeach()
  add_library(qrn_${layer}_headers OBJECT ${sources})
  target_include_directories(qrn_${layer}_headers PRIVATE ${CMAKE_BINARY_DIR}/layers/${layer})
  target_link_libraries(qrn_${layer}_headers PRIVATE ${target})
  # No code to speak of: the check needs the preprocessor and the parser only.
  target_compile_options(qrn_${layer}_headers PRIVATE -O0 -g0)
endfunction()

# qrn_layer(LAYER BENEATH LAYER... SOURCES FILE... HEADERS FILE...): the
# object library qrn_LAYER, one part of the qrn library, built from the
# folder of the same name. Its headers install under include/qrn/LAYER/.
function(qrn_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "BENEATH;SOURCES;HEADERS")
  add_library(qrn_${layer} OBJECT ${arg_SOURCES} ${arg_HEADERS})
  set(sees ${layer})
  foreach(below IN LISTS arg_BENEATH)
    get_property(below_sees GLOBAL PROPERTY QRN_LAYER_${below}_SEES)
    if(NOT below_sees)
      message(FATAL_ERROR "layer ${layer}: the layer ${below} beneath it is not defined yet")
    endif()
    list(APPEND sees ${below_sees})
    # The framework layer is the kvfw library; the others are parts of qrn.
    if(below STREQUAL "framework")
      target_link_libraries(qrn_${layer} PUBLIC kvfw)
    else()
      target_link_libraries(qrn_${layer} PUBLIC qrn_${below})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES sees)
  qrn_include_root(qrn_${layer} ${layer} ${sees})
  set_property(GLOBAL APPEND PROPERTY QRN_LAYERS qrn_${layer})
  qrn_check_headers(${layer} qrn_${layer} ${arg_HEADERS})
  install(FILES ${arg_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qrn/${layer})
endfunction()
