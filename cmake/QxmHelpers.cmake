# qxm_add_test(NAME name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s] [ENV VAR=VALUE ...])
# Builds a GoogleTest program into build/bin and registers its cases with CTest.
# Every test runs with the offscreen Qt platform and a private cache/config folder.
include(GoogleTest)
function(qxm_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env QT_QPA_PLATFORM=offscreen
      XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-home/cache
      XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/config
      XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/data
      XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/test-home/runtime
      QXM_BIN_DIR=${CMAKE_BINARY_DIR}/bin
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
      UBSAN_OPTIONS=print_stacktrace=1
      ${T_ENV})
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}" ENVIRONMENT "${env}")
endfunction()

# qxm_export_map(target mapfile): exports exactly the symbols named in the version script.
function(qxm_export_map target mapfile)
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${mapfile})
  target_link_options(${target} PRIVATE "LINKER:--version-script=${mapfile}")
endfunction()
