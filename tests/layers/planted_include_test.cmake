# Copies the source tree, plants one wrong include per case, and expects the
# layer check to fail naming that file and line; the untouched copy passes.
cmake_minimum_required(VERSION 3.25)

function(run_check folder result output)
  execute_process(COMMAND ${CMAKE_COMMAND} -DQV_SOURCE_DIR=${folder} -P ${QV_CHECK}
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result} ${code} PARENT_SCOPE)
  set(${output} "${out}${err}" PARENT_SCOPE)
endfunction()

# file inside the copy | include planted as its last line | expected report
set(cases
  "device/transport.cpp|app/program.h|device/transport.cpp:LINE: layer 'device' includes \"app/program.h\" of layer 'app'"
  "platform/virtual_event_loop.cpp|device/device_link.h|layer 'platform' includes \"device/device_link.h\""
  "platform/sim/chip_model.cpp|session/session.h|layer 'platform/sim' includes \"session/session.h\""
  "platform/event_loop.h|platform/sim/simulated_hub.h|layer 'platform' includes \"platform/sim/simulated_hub.h\""
  "programming/flash_mode.cpp|app/startup.h|layer 'programming' includes \"app/startup.h\""
  "session/session.cpp|programming/flash_mode.h|layer 'session' includes \"programming/flash_mode.h\""
  "app/startup.cpp|station/simulated_station.h|layer 'app' includes \"station/simulated_station.h\""
  "image_format/image_layout.cpp|platform/hid_bus.h|layer 'image_format' includes \"platform/hid_bus.h\"")

set(scratch "${QV_SCRATCH_DIR}")
file(REMOVE_RECURSE "${scratch}")
file(COPY "${QV_SOURCE_DIR}/" DESTINATION "${scratch}/clean")
run_check("${scratch}/clean" code out)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the unchanged copy fails the check:\n${out}")
endif()

foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 file)
  list(GET fields 1 include)
  list(GET fields 2 expected)
  set(copy "${scratch}/planted")
  file(REMOVE_RECURSE "${copy}")
  file(COPY "${QV_SOURCE_DIR}/" DESTINATION "${copy}")
  file(APPEND "${copy}/${file}" "#include \"${include}\"\n")
  # The planted include is the last line.
  file(READ "${copy}/${file}" content)
  string(REGEX MATCHALL "\n" newlines "${content}")
  list(LENGTH newlines line)
  string(REPLACE "LINE" "${line}" expected "${expected}")
  run_check("${copy}" code out)
  if(code EQUAL 0)
    message(FATAL_ERROR "the check let \"${include}\" in ${file} pass")
  endif()
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check's report for ${file} lacks: ${expected}\nreport:\n${out}")
  endif()
endforeach()
file(REMOVE_RECURSE "${scratch}")
