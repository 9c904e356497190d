# Refuses an include of a layer above the including file's own layer.
#
#   cmake -DQV_SOURCE_DIR=<src folder> -P check_layers.cmake
#
# Every source under QV_SOURCE_DIR belongs to the layer of its folder; it may
# include its own layer and the layers the table below allows, by the first
# path component of the included name (platform's implementations are told
# apart by their second). Prints every offending file and line, and fails
# when there is one.
cmake_minimum_required(VERSION 3.25)

if(NOT QV_SOURCE_DIR OR NOT IS_DIRECTORY "${QV_SOURCE_DIR}")
  message(FATAL_ERROR "check_layers: QV_SOURCE_DIR must name the source folder")
endif()

# Layer of a folder (the longest matching prefix wins) -> the layers it may include.
set(platform_core "platform")
set(allowed_image_format   "image_format")
set(allowed_platform       "platform")
set(allowed_platform/sim   "platform;platform/sim;image_format")
set(allowed_platform/linux "platform;platform/linux")
set(allowed_platform/win32 "platform;platform/win32")
set(allowed_device         "device;platform")
set(allowed_session        "session;device;platform")
set(allowed_programming    "programming;session;device;platform;image_format")
set(allowed_app            "app;programming;session;device;platform;image_format")
set(top_layers "app;programming;session;device;platform;platform/sim;platform/linux;platform/win32;image_format")
set(allowed_station        "station;${top_layers}")
set(allowed_ui/qt          "ui/qt;station;${top_layers}")
set(allowed_ui/win32       "ui/win32;station;${top_layers}")
set(allowed_main           "main;ui/qt;ui/win32;station;${top_layers}")
set(known_layers image_format platform platform/sim platform/linux platform/win32 device session programming app
    station ui/qt ui/win32 main)

# The layer a path inside the source folder belongs to: the longest known
# layer that is a folder prefix of it; empty when none is.
function(layer_of path out)
  set(best "")
  foreach(layer IN LISTS known_layers)
    string(LENGTH "${layer}/" length)
    string(SUBSTRING "${path}" 0 ${length} head)
    if(head STREQUAL "${layer}/")
      string(LENGTH "${best}" best_length)
      if(length GREATER best_length)
        set(best "${layer}")
      endif()
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE "${QV_SOURCE_DIR}" "${QV_SOURCE_DIR}/*.h" "${QV_SOURCE_DIR}/*.cpp")
list(SORT sources)
set(violations "")
foreach(source IN LISTS sources)
  layer_of("${source}" own)
  if(own STREQUAL "")
    string(APPEND violations "  ${source}: not inside a known layer folder\n")
    continue()
  endif()
  # One list element per line: the characters CMake's lists treat specially
  # are masked first, so that line numbers stay right.
  file(READ "${QV_SOURCE_DIR}/${source}" content)
  string(REPLACE "\\" "<bs>" content "${content}")
  string(REPLACE ";" "<sc>" content "${content}")
  string(REPLACE "[" "<lb>" content "${content}")
  string(REPLACE "]" "<rb>" content "${content}")
  string(REPLACE "\n" ";" all_lines "${content}")
  set(line_number 0)
  foreach(line IN LISTS all_lines)
    math(EXPR line_number "${line_number} + 1")
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
      continue()
    endif()
    set(included "${CMAKE_MATCH_1}")
    if(NOT included MATCHES "/")
      continue()  # a sibling header of the same folder
    endif()
    layer_of("${included}" target)
    if(target STREQUAL "")
      continue()  # not one of ours (a generated or third-party header)
    endif()
    if(NOT target IN_LIST allowed_${own})
      string(APPEND violations "  ${source}:${line_number}: layer '${own}' includes \"${included}\" of layer '${target}'\n")
    endif()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Upward or sideways includes (each layer includes only the layers below it):\n${violations}")
endif()
