# ctest: a generated map loads, saves to the same bytes, and the
# set-transformer command runs on it. -DMAPGEN, -DJDHOST, -DSHAPE, -DWORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${MAPGEN} --objects 3000 --units 5 --shape ${SHAPE} -o ${WORK}/mine.json
  RESULT_VARIABLE rc ERROR_VARIABLE summary)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "mapgen failed: ${summary}")
endif()
# objects=N transformers=T motors=M points=P first=NAME last=NAME
string(REGEX MATCH "first=([^ ]+)" _ "${summary}")
set(first ${CMAKE_MATCH_1})
string(REGEX MATCH "objects=([0-9]+)" _ "${summary}")
if(CMAKE_MATCH_1 LESS 2990 OR CMAKE_MATCH_1 GREATER 3000)
  message(FATAL_ERROR "asked for 3000 objects, got: ${summary}")
endif()

execute_process(COMMAND ${JDHOST} validate ${WORK}/mine.json RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the generated map does not validate:\n${out}${err}")
endif()

file(WRITE ${WORK}/nothing.jds "# no step: load and save only\n")
execute_process(COMMAND ${JDHOST} run ${WORK}/mine.json ${WORK}/nothing.jds --save ${WORK}/saved.json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "load and save failed:\n${out}${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/mine.json ${WORK}/saved.json RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "saving the generated map changed its text: diff ${WORK}/mine.json ${WORK}/saved.json")
endif()

# The command on the first transformer picks the first model above the load
# and rewrites the points it feeds.
file(WRITE ${WORK}/command.jds "launch\npick ${first}\nclick\nexpect-dialog 设置变压器\nselect 5027 综采工作面\n"
  "select 5028 两个工作面\npress 5029\nselect 5005 #0\nok\nexpect-prompt 退出设置变压器命令\n")
execute_process(COMMAND ${JDHOST} run ${WORK}/mine.json ${WORK}/command.jds --save ${WORK}/after.json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the set-transformer session failed:\n${out}${err}")
endif()
file(READ ${WORK}/after.json after)
if(after MATCHES "\"163\": \\[\"0\", \"\"")
  message(FATAL_ERROR "the command chose no model on the generated map:\n${out}")
endif()
file(REMOVE_RECURSE ${WORK})
