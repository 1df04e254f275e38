# Runs a generator into OUT and compares what it writes with the files
# shipped under DATA that it makes (OWNED, '|' between them). ARGS: the
# generator's arguments, '|' between them, with {OUT} for the output folder.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
string(REPLACE "{OUT}" "${OUT}" args "${ARGS}")
string(REPLACE "|" ";" args "${args}")
execute_process(COMMAND ${GENERATOR} ${args} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the generator failed (${status})")
endif()

string(REPLACE "|" ";" owned "${OWNED}")
execute_process(COMMAND ${COMPARE} ${DATA} ${OUT} ${owned} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "what the generator made differs from the shipped files (run it into data/)")
endif()
message(STATUS "the generator makes the shipped files")
