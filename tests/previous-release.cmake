# Builds archive_writer_helper of the release before the newest step of the
# archive's schema, from git, for the test of a chain upgraded one station at
# a time (tst_archive_writers): the commit that added the newest
# archive/schema/step-NN.sql, and the one before it. Kept in BINARY/<commit>
# and made again only when that commit changes.
#   cmake -DSOURCE=<repository> -DBINARY=<folder> -DGENERATOR=<generator>
#         -DINFO=<file> -P previous-release.cmake
# INFO then says helper=<program>, version=<its schema version>, floor=<the
# newest step's floor> and commit=<the release's commit>; or missing=<why>
# (no git, no history: a clone without it cannot show the older release).
cmake_minimum_required(VERSION 3.25)

function(give_up why)
    file(WRITE "${INFO}" "missing=${why}\n")
    message(STATUS "previous release: ${why}")
endfunction()

find_program(GIT git)
if(NOT GIT)
    give_up("git is not installed")
    return()
endif()
file(GLOB steps RELATIVE "${SOURCE}" "${SOURCE}/archive/schema/step-*.sql")
list(SORT steps)
list(GET steps -1 newest)
string(REGEX MATCH "[0-9]+" version "${newest}")
math(EXPR previousVersion "${version} - 1")
file(STRINGS "${SOURCE}/${newest}" floorLine REGEX "^-- floor: [0-9]+$")
string(REGEX MATCH "[0-9]+" floor "${floorLine}")

execute_process(COMMAND "${GIT}" -C "${SOURCE}" log --diff-filter=A --format=%H -n 1 -- "${newest}"
                OUTPUT_VARIABLE added OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
if(failed OR added STREQUAL "")
    give_up("git knows no commit that added ${newest} (a copy without its history?)")
    return()
endif()
execute_process(COMMAND "${GIT}" -C "${SOURCE}" rev-parse "${added}^"
                OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
if(failed)
    give_up("the history before ${added} is not there (a shallow clone?)")
    return()
endif()

set(dir "${BINARY}/${commit}")
set(helper "${dir}/build/tests/archive_writer_helper")
if(NOT EXISTS "${helper}")
    # Only the release this test needs is kept.
    file(REMOVE_RECURSE "${BINARY}")
    file(MAKE_DIRECTORY "${dir}/src")
    execute_process(COMMAND "${GIT}" -C "${SOURCE}" archive --format=tar -o "${dir}/src.tar" "${commit}"
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "git archive ${commit} failed")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${dir}/src.tar" WORKING_DIRECTORY "${dir}/src")
    file(REMOVE "${dir}/src.tar")
    execute_process(COMMAND "${CMAKE_COMMAND}" -S "${dir}/src" -B "${dir}/build" -G "${GENERATOR}"
                            -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DKFZ_BUILD_BENCHMARKS=OFF
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "configuring the release ${commit} failed")
    endif()
    # Two jobs unless told: the machines this runs on are shared.
    set(jobs 2)
    if(DEFINED ENV{CMAKE_BUILD_PARALLEL_LEVEL})
        set(jobs "$ENV{CMAKE_BUILD_PARALLEL_LEVEL}")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" --build "${dir}/build" --target archive_writer_helper
                            --parallel ${jobs}
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "building archive_writer_helper of the release ${commit} failed")
    endif()
endif()
file(WRITE "${INFO}"
     "helper=${helper}\nversion=${previousVersion}\nfloor=${floor}\ncommit=${commit}\n")
message(STATUS "previous release: ${commit}, archive version ${previousVersion}")
