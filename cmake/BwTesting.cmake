# bw_add_test(NAME SOURCES a.cpp b.cpp LIBS x y LABELS threads x11)
# One GoogleTest executable; its tests are discovered when ctest runs (through
# the cross-compiling emulator on i386), so building needs no display.
# Labels choose the runs: "threads" also runs under ThreadSanitizer, "x11"
# needs an X server.
function(bw_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # Test code is mostly GoogleTest's templates: optimising it costs twice the
  # compile time of every tree and buys nothing. The code under test keeps
  # the tree's own optimisation (it is compiled in the libraries).
  if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    target_compile_options(${name} PRIVATE -O0 -g1)
  endif()
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  if("threads" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY BW_THREADS_TESTS ${name})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120)
  # List-valued properties lose all but their first item on the way through
  # gtest_discover_tests, so they are set on the discovered tests by a file
  # that ctest includes after the discovery's own.
  # Tests on the X server share its pointer, keyboard focus and screen: two
  # of them at once would move each other's pointer and cover each other's
  # windows, so they take turns.
  set(lock "")
  if("x11" IN_LIST T_LABELS)
    set(lock " RESOURCE_LOCK xserver")
  endif()
  set(props "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
  file(WRITE "${props}"
    "foreach(test IN LISTS ${name}_TESTS)\n"
    "  set_tests_properties(\"\${test}\" PROPERTIES LABELS [==[${T_LABELS}]==]\n"
    "    ENVIRONMENT [==[BW_BINARY_DIR=${PROJECT_BINARY_DIR};BW_SOURCE_DIR=${PROJECT_SOURCE_DIR}]==]${lock})\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${props}")
endfunction()

# What the ThreadSanitizer run needs: the tests labelled threads, and the host
# and plug-in for the threads check of the battery. The other tests never run
# there, so that tree builds only these.
function(bw_add_threads_target)
  get_property(tests GLOBAL PROPERTY BW_THREADS_TESTS)
  add_custom_target(bw_threads_tests)
  add_dependencies(bw_threads_tests ${tests} vsthost Blinkwatcher)
endfunction()
