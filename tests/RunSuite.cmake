# Runs one test suite for CTest and passes its output and exit code on. With
# CI set (CI=true), a case the suite skipped fails the run unless
# expected-skips.txt lists it for this platform with a reason: a suite that
# cannot find what it needs must not pass quietly where it should run.
#   cmake -DSUITE=name -DPLATFORM=linux|windows -DEXPECTED=list
#         -DCOMMAND=program[;args] -P RunSuite.cmake
cmake_minimum_required(VERSION 3.18)

execute_process(COMMAND ${COMMAND} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out
                ECHO_OUTPUT_VARIABLE ECHO_ERROR_VARIABLE)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${SUITE} failed (${rc})")
endif()

set(ci "$ENV{CI}")
if(NOT ci OR ci STREQUAL "false" OR ci STREQUAL "0")
    return()
endif()

# The list: "platform suite::case reason", case may be *; # starts a comment.
file(STRINGS "${EXPECTED}" entries REGEX "^[a-z]")
# Qt Test's "SKIP   : Class::case(tag) message"; only the names are taken, as
# a message may hold characters that CMake's lists do not keep.
string(REGEX MATCHALL "SKIP   : [A-Za-z0-9_]+::[A-Za-z0-9_]+\\([^)\n;\\[]*\\)" skips "${out}")
set(unexpected "")
foreach(skip IN LISTS skips)
    string(REGEX REPLACE "^SKIP   : [A-Za-z0-9_]+::([A-Za-z0-9_]+)\\(.*" "\\1" case "${skip}")
    set(listed FALSE)
    foreach(entry IN LISTS entries)
        # (if() would test the parenthesised part before the match sets it.)
        if(NOT entry MATCHES "^([a-z]+)[ \t]+([A-Za-z0-9_]+)::([A-Za-z0-9_*]+)[ \t]+[^ \t]")
            continue()
        endif()
        if(CMAKE_MATCH_1 STREQUAL PLATFORM AND CMAKE_MATCH_2 STREQUAL SUITE
           AND (CMAKE_MATCH_3 STREQUAL "*" OR CMAKE_MATCH_3 STREQUAL case))
            set(listed TRUE)
            break()
        endif()
    endforeach()
    if(NOT listed)
        string(APPEND unexpected "\n  ${skip}")
    endif()
endforeach()
if(unexpected)
    message(FATAL_ERROR "${SUITE}: skipped in CI (the reasons are in the output above), and "
                        "not listed for ${PLATFORM} in ${EXPECTED}:${unexpected}\n"
                        "Install what the suite needs (scripts/setup), or list the case with "
                        "the reason it cannot run on ${PLATFORM}.")
endif()
