# GoogleTest for every target, and sfx_add_test, which runs a test program natively or,
# in a Windows build, under the build directory's Wine session.
if(CMAKE_CROSSCOMPILING)
    # Built from Debian's googletest source package for the target.
    set(_gtest_dir /usr/src/googletest/googletest)
    add_library(gtest STATIC ${_gtest_dir}/src/gtest-all.cc)
    target_include_directories(gtest SYSTEM PUBLIC ${_gtest_dir}/include PRIVATE ${_gtest_dir})
    add_library(gtest_main STATIC ${_gtest_dir}/src/gtest_main.cc)
    target_link_libraries(gtest_main PUBLIC gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
    set(SFX_WINE_SESSION ${PROJECT_SOURCE_DIR}/cmake/wine-session.sh ${CMAKE_BINARY_DIR}/wine)
else()
    find_package(GTest REQUIRED)
endif()

# Wine runs x86_64 programs everywhere, i686 ones only where the kernel runs 32-bit
# programs and 32-bit Wine is installed: asked afresh at every configure. Elsewhere an
# i686 build is checked from its files, and the reason is left in wine-skipped.txt for
# scripts/test.sh to print.
set(SFX_RUNS_32BIT ${PROJECT_SOURCE_DIR}/cmake/runs-32bit.sh CACHE FILEPATH
    "Program that tells whether i686 Windows programs run here under Wine (status 0, else the reason)")
set(SFX_CAN_RUN_TARGET_PROGRAMS TRUE)
file(REMOVE ${CMAKE_BINARY_DIR}/wine-skipped.txt)
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    execute_process(COMMAND ${SFX_RUNS_32BIT} --wine RESULT_VARIABLE _runs OUTPUT_VARIABLE _why
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT _runs EQUAL 0)
        set(SFX_CAN_RUN_TARGET_PROGRAMS FALSE)
        message(STATUS "i686 programs are not run under Wine: ${_why}")
        file(WRITE ${CMAKE_BINARY_DIR}/wine-skipped.txt "i686 runs under Wine skipped: ${_why}\n")
    endif()
endif()

# sfx_add_test(<name> COMMAND <program> [<args>...])
# In a Windows build the program runs under Wine; the first such test brings up the
# session (display, prefix, wineserver) and a cleanup test ends it.
function(sfx_add_test name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "COMMAND")
    if(NOT SFX_CAN_RUN_TARGET_PROGRAMS)
        return()
    endif()
    if(CMAKE_CROSSCOMPILING)
        get_property(_has_session GLOBAL PROPERTY SFX_WINE_SESSION_DEFINED)
        if(NOT _has_session)
            set_property(GLOBAL PROPERTY SFX_WINE_SESSION_DEFINED TRUE)
            add_test(NAME wine_session_start COMMAND ${SFX_WINE_SESSION} start)
            add_test(NAME wine_session_stop COMMAND ${SFX_WINE_SESSION} stop)
            set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
            set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)
        endif()
        add_test(NAME ${name} COMMAND ${SFX_WINE_SESSION} run ${ARG_COMMAND})
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine)
    else()
        add_test(NAME ${name} COMMAND ${ARG_COMMAND})
    endif()
endfunction()
