# Compiles a probe per layer against the include roots its library compiles
# with (PROBE_DIR/<layer>.includes, written by CMake): the layer's own headers
# and a header of each layer beneath it must compile; a header of any other
# layer must not be found. Includes that get round the include roots ("../x/"
# or "src/x/") fail the check too.
# Usage: cmake -DCOMPILER=c++ -DSOURCE_DIR=. -DPROBE_DIR=dir -DLAYERS="a;b" -P CheckLayers.cmake

cmake_minimum_required(VERSION 3.25)

# What each layer may include besides itself: the picture of docs/architecture.md.
set(beneath_engine "")
set(beneath_vst "")
set(beneath_platform "")
set(beneath_gui platform)
set(beneath_presets vst platform)
set(beneath_core engine presets vst platform)
set(beneath_binding gui vst platform)
set(beneath_editor core engine presets vst platform binding gui resources)
set(beneath_plugin editor core engine presets vst platform binding gui)

function(fail text)
  message(SEND_ERROR "${text}")
endfunction()

# A header every probe may name for each layer (resources is the artwork).
set(header_resources resources/Resources.h)
foreach(layer ${LAYERS})
  file(GLOB headers RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/${layer}/*.h)
  list(SORT headers)
  set(headers_${layer} ${headers})
  list(GET headers 0 header_${layer})
endforeach()

function(compile name text result output)
  file(READ ${PROBE_DIR}/${name}.includes dirs)
  string(REPLACE "\n" ";" dirs "${dirs}")
  set(flags)
  foreach(dir ${dirs})
    if(dir)
      list(APPEND flags -I${dir})
    endif()
  endforeach()
  set(probe ${PROBE_DIR}/probe-${name}.cpp)
  file(WRITE ${probe} "${text}")
  execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only ${flags} ${probe}
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result} ${code} PARENT_SCOPE)
  set(${output} "${out}${err}" PARENT_SCOPE)
endfunction()

foreach(layer ${LAYERS})
  # Its own headers and one of each layer beneath it.
  set(text "")
  foreach(header ${headers_${layer}})
    string(APPEND text "#include \"${header}\"\n")
  endforeach()
  foreach(lower ${beneath_${layer}})
    string(APPEND text "#include \"${header_${lower}}\"\n")
  endforeach()
  compile(${layer} "${text}" code out)
  if(NOT code EQUAL 0)
    fail("${layer}: its headers and the layers beneath it do not compile:\n${out}")
  else()
    message(STATUS "${layer}: its headers and those of [${beneath_${layer}}] compile")
  endif()

  # Every other layer's header is out of reach.
  set(refused "")
  foreach(other ${LAYERS} resources)
    if(other STREQUAL layer OR other IN_LIST beneath_${layer})
      continue()
    endif()
    set(header ${header_${other}})
    compile(${layer} "#include \"${header}\"\n" code out)
    string(REGEX MATCH "${header}(: No such file|' file not found)" missing "${out}")
    if(code EQUAL 0 OR NOT missing)
      fail("${layer} reaches ${other}: \"${header}\" compiles or fails for another reason:\n${out}")
    else()
      list(APPEND refused ${other})
    endif()
  endforeach()
  message(STATUS "${layer}: no header of [${refused}] is found")
endforeach()

# No include gets round the include roots.
file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
foreach(source ${sources})
  file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(\\.\\./|src/)")
  if(lines)
    fail("${source}: an include around the layer roots: ${lines}")
  endif()
endforeach()
