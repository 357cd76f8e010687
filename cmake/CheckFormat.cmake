# cmake -DCLANG_FORMAT=... -DSOURCE_DIR=... -P CheckFormat.cmake
file(GLOB_RECURSE sources
  ${SOURCE_DIR}/platform/*.cpp ${SOURCE_DIR}/platform/*.h
  ${SOURCE_DIR}/capstan/*.cpp ${SOURCE_DIR}/capstan/*.h
  ${SOURCE_DIR}/devicesim/*.cpp ${SOURCE_DIR}/devicesim/*.h
  ${SOURCE_DIR}/devicelink/*.cpp ${SOURCE_DIR}/devicelink/*.h
  ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
  ${SOURCE_DIR}/wireless/*.cpp ${SOURCE_DIR}/wireless/*.h
  ${SOURCE_DIR}/modem/*.cpp ${SOURCE_DIR}/modem/*.h
  ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tests/*.h
  ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/bench/*.h
  ${SOURCE_DIR}/fuzz/*.cpp ${SOURCE_DIR}/fuzz/*.h)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror ${sources}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Some files are not formatted; run scripts/format.sh")
endif()
