# Compiles tarnbell.chm and checks it: chmcmd can end with status 0 without
# writing anything (a missing project), or leave an empty file behind.
# Called with -DCHMCMD=... -DSOURCE_DIR=... -DSTAGE_DIR=... -DOUTPUT=...
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${STAGE_DIR})
file(GLOB sources ${SOURCE_DIR}/*.htm ${SOURCE_DIR}/*.css ${SOURCE_DIR}/*.hhc ${SOURCE_DIR}/*.hhp)
file(COPY ${sources} DESTINATION ${STAGE_DIR})

execute_process(COMMAND ${CHMCMD} tarnbell.hhp
                WORKING_DIRECTORY ${STAGE_DIR}
                RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
set(chm ${STAGE_DIR}/tarnbell.chm)
if(NOT status EQUAL 0 OR NOT EXISTS ${chm})
  message(FATAL_ERROR "chmcmd did not build tarnbell.chm (status ${status}):\n${log}")
endif()

file(READ ${chm} magic LIMIT 4 HEX)
if(NOT magic STREQUAL "49545346")
  message(FATAL_ERROR "tarnbell.chm is not a compiled help file:\n${log}")
endif()

# Every file of the project's [FILES] section must be inside, and the title
# that the help window shows. Compared as hex: the file is binary.
file(READ ${SOURCE_DIR}/tarnbell.hhp project)
string(FIND "${project}" "[FILES]" files_at)
math(EXPR files_at "${files_at} + 7")
string(SUBSTRING "${project}" ${files_at} -1 files_section)
string(REGEX MATCHALL "[^\r\n]+" listed "${files_section}")
file(READ ${chm} inside HEX)
foreach(name IN LISTS listed ITEMS "Tarnbell Help")
  string(HEX "${name}" name_hex)
  string(FIND "${inside}" "${name_hex}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "tarnbell.chm lacks ${name}")
  endif()
endforeach()

get_filename_component(output_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_dir})
file(COPY_FILE ${chm} ${OUTPUT})
