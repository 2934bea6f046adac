# Compiler settings shared by every target of the project.
add_library(vex_options INTERFACE)
add_library(vex::options ALIAS vex_options)
target_compile_options(vex_options INTERFACE -Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual)
if(VEX_WERROR)
  target_compile_options(vex_options INTERFACE -Werror)
endif()
# Qt's string literals and our own UTF-8 sources.
target_compile_definitions(vex_options INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

if(VEX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# vex_add_gtest(NAME [UNDER_COMMA_LOCALE_TOO] SOURCES... LIBS... [PROPERTIES ...])
# One GoogleTest binary, each test registered with CTest on its own, under
# LC_ALL=C.UTF-8. gtest_discover_tests cannot carry a list-valued property, so
# a test that needs more of the environment sets it itself (Qt tests link
# vex::test_qtmain, which selects the offscreen platform).
# UNDER_COMMA_LOCALE_TOO registers every test a second time, named with the
# suffix ".es_UY" and labelled comma_locale, under the users' own locale
# es_UY.UTF-8 (decimal comma) as compiled into the build tree; the binary's
# main must take the environment's locale (vex::test_main, vex::test_qtmain).
function(vex_add_gtest name)
  cmake_parse_arguments(ARG "UNDER_COMMA_LOCALE_TOO" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest vex::options)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "LC_ALL=C.UTF-8" ${ARG_PROPERTIES})
  if(ARG_UNDER_COMMA_LOCALE_TOO)
    add_dependencies(${name} vex_test_locales)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_SUFFIX ".es_UY"
      PROPERTIES ENVIRONMENT "LC_ALL=es_UY.UTF-8"
                 ENVIRONMENT_MODIFICATION "LOCPATH=set:${VEX_TEST_LOCPATH}"
                 LABELS comma_locale ${ARG_PROPERTIES})
  endif()
endfunction()

if(VEX_FUZZ)
  # Instrument every library for coverage; the fuzz targets add libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
