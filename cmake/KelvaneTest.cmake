include(GoogleTest)

# kv_add_test(NAME SOURCES a.cpp b.cpp LIBS kv_core ... [PROPERTIES NAME VALUE ...])
# One GoogleTest binary; its cases are discovered right before the tests run, so the build
# never starts a test program (there may be no display, and sanitizer builds are slow).
function(kv_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kv_testmain GTest::gtest GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${T_PROPERTIES})
endfunction()
