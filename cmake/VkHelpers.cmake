# Small helpers so that every component declares its tests, benchmarks and
# fuzz targets the same way.

# Adds SUBDIR when it has a CMakeLists.txt, so that components can land one
# at a time without touching the lists that name them.
function(vk_add_optional_subdirectory subdir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${subdir}/CMakeLists.txt)
    add_subdirectory(${subdir})
  endif()
endfunction()

# vk_add_gtest(NAME SOURCES ... LIBS ... [OWN_MAIN] [TIMEOUT seconds] [LABELS ...])
# One GoogleTest program; every test in it gets a CTest time-out. OWN_MAIN is
# for programs that set something up before the tests run (a QApplication).
function(vk_add_gtest name)
  cmake_parse_arguments(ARG "OWN_MAIN" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}")
endfunction()

# vk_add_fuzzer(NAME SOURCES ... LIBS ...)
# A libFuzzer target; its seed corpus lives in fuzz/corpus/NAME.
function(vk_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY VK_FUZZERS ${name})
endfunction()

# vk_add_benchmark(NAME SOURCES ... LIBS ...)
function(vk_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# vk_install_tool(TARGET NAME)
# Installs a command-line tool and its manual page, section 1, made at build
# time from the tool's own --help texts (cmake/ManPage.cmake), so the two
# never disagree.
function(vk_install_tool target name)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${name}.1)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:${target}> -DNAME=${name} -DOUT=${page}
            -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS ${target} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Writing the manual page of ${name}" VERBATIM)
  add_custom_target(${name}_man ALL DEPENDS ${page})
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
