include(GoogleTest)

# Shared main() of the test programs (sets up private per-user folders, offscreen Qt).
function(qxm_ensure_testmain)
  if(NOT TARGET qxm_testmain)
    add_library(qxm_testmain STATIC ${CMAKE_SOURCE_DIR}/cmake/testmain/TestMain.cpp)
    target_link_libraries(qxm_testmain PUBLIC GTest::gtest GTest::gmock)
    target_compile_definitions(qxm_testmain PRIVATE
      QXM_TEST_HOME="${CMAKE_BINARY_DIR}/test-home"
      QXM_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
      QXM_LIB_DIR="${CMAKE_BINARY_DIR}/lib")
  endif()
endfunction()

# The QApplication shared by the test programs that show widgets (TestApplication.h).
function(qxm_ensure_testapp)
  if(NOT TARGET qxm_testapp)
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    add_library(qxm_testapp STATIC ${CMAKE_SOURCE_DIR}/cmake/testmain/TestApplication.cpp)
    target_include_directories(qxm_testapp PUBLIC ${CMAKE_SOURCE_DIR}/cmake/testmain)
    target_link_libraries(qxm_testapp PUBLIC Qt6::Widgets GTest::gtest)
  endif()
endfunction()

# qxm_add_test(NAME name SOURCES ... LIBS ... [TIMEOUT s] [OPTIMISED])
# Builds a GoogleTest program into build/bin and registers each of its cases with CTest.
# OPTIMISED keeps the build's optimisation for a program whose own code does heavy work.
function(qxm_add_test)
  cmake_parse_arguments(T "OPTIMISED" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  qxm_ensure_testmain()
  qxm_ensure_testapp()
  add_executable(${T_NAME} ${T_SOURCES})
  # A test program's own code is assertions around calls into the libraries, which keep their
  # optimisation; compiled without any, the test programs build about a quarter quicker.
  if(NOT T_OPTIMISED)
    target_compile_options(${T_NAME} PRIVATE -O0)
  endif()
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} qxm_testmain)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# qxm_export_map(target mapfile): exports exactly the symbols named in the version script.
function(qxm_export_map target mapfile)
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${mapfile})
  target_link_options(${target} PRIVATE "LINKER:--version-script=${mapfile}")
endfunction()
