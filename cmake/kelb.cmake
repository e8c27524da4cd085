# One library target per source folder: every .cpp in the folder belongs to it.
function(kelb_library name)
  cmake_parse_arguments(K "" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/..)
  target_link_libraries(${name} PUBLIC ${K_DEPS})
  target_compile_options(${name} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# One GoogleTest executable per test folder; every test case runs as its own CTest test,
# so each process can host its own virtual CAN bus on a port of its own.
function(kelb_test name)
  cmake_parse_arguments(K "" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_executable(${name} ${_src})
  target_link_libraries(${name} PRIVATE testsupport ${K_DEPS} GTest::gtest)
  target_compile_options(${name} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  target_compile_definitions(${name} PRIVATE KELB_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures")
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${PROJECT_SOURCE_DIR}/tests/support/laptop-screen.json"
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST)
endfunction()
