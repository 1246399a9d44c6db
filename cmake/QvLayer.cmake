# qv_layer(NAME DEPS ...): the static library qv_NAME from every .cpp in src/NAME.
# A layer with no sources yet is an interface library, so the graph stays whole.
function(qv_layer name)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp)
  if(sources)
    add_library(qv_${name} STATIC ${sources})
    target_include_directories(qv_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(qv_${name} PUBLIC ${L_DEPS})
  else()
    add_library(qv_${name} INTERFACE)
    target_include_directories(qv_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(qv_${name} INTERFACE ${L_DEPS})
  endif()
endfunction()

# qv_test_suite(NAME DEPS ...): one GoogleTest executable tests_NAME from tests/NAME/*.cpp.
function(qv_test_suite name)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${name}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(tests_${name} ${sources})
  target_link_libraries(tests_${name} PRIVATE ${T_DEPS} qv_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(tests_${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QV_BUILD_DIR=${PROJECT_BINARY_DIR};QT_QPA_PLATFORM=offscreen")
endfunction()
