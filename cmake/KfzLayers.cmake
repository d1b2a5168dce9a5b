# The layering rule of the libraries: the ones below the windows must not link
# the window toolkit. A library linked through another one brings its headers,
# compile flags and link line along, so the rule is checked over everything a
# target links, directly or through what those link in turn (Qt's own imported
# targets included: Qt6::Multimedia, for instance, links Qt6::Gui).
#
#   kfz_forbid_link(Qt6::Gui TARGETS core platform ...)
#
# stops the configuration with the chain that leads to the forbidden library.

# Turns one entry of a link list into a target name, or "" for entries that
# name no target this check can follow (plain libraries, options, the
# directory markers CMake writes for links made in another folder).
function(_kfz_link_entry_target out entry)
    set(name "${entry}")
    # $<LINK_ONLY:X> still links X.
    string(REGEX REPLACE "^\\$<LINK_ONLY:([^<>]+)>$" "\\1" name "${name}")
    if(name MATCHES "^::@" OR name MATCHES "\\$<" OR NOT TARGET "${name}")
        set(${out} "" PARENT_SCOPE)
        return()
    endif()
    get_target_property(aliased "${name}" ALIASED_TARGET)
    if(aliased)
        set(name "${aliased}")
    endif()
    set(${out} "${name}" PARENT_SCOPE)
endfunction()

function(kfz_forbid_link forbidden)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "TARGETS")
    _kfz_link_entry_target(forbiddenTarget "${forbidden}")
    if(NOT forbiddenTarget)
        message(FATAL_ERROR "kfz_forbid_link: ${forbidden} is no target")
    endif()
    foreach(root IN LISTS arg_TARGETS)
        if(NOT TARGET "${root}")
            message(FATAL_ERROR "kfz_forbid_link: ${root} is no target")
        endif()
        # Breadth first over the link graph; via_<n> remembers where each
        # target was reached from, to print the chain.
        set(seen "${root}")
        set(queue "${root}")
        string(MAKE_C_IDENTIFIER "${root}" rootId)
        unset(via_${rootId})
        while(queue)
            list(POP_FRONT queue current)
            set(links "")
            get_target_property(imported "${current}" IMPORTED)
            if(NOT imported)
                get_target_property(direct "${current}" LINK_LIBRARIES)
                if(direct)
                    list(APPEND links ${direct})
                endif()
            endif()
            get_target_property(usage "${current}" INTERFACE_LINK_LIBRARIES)
            if(usage)
                list(APPEND links ${usage})
            endif()
            foreach(entry IN LISTS links)
                _kfz_link_entry_target(next "${entry}")
                if(NOT next OR next IN_LIST seen)
                    continue()
                endif()
                list(APPEND seen "${next}")
                string(MAKE_C_IDENTIFIER "${next}" nextId)
                set(via_${nextId} "${current}")
                if(next STREQUAL forbiddenTarget)
                    set(chain "${next}")
                    set(step "${current}")
                    while(step)
                        string(PREPEND chain "${step} -> ")
                        string(MAKE_C_IDENTIFIER "${step}" stepId)
                        set(step "${via_${stepId}}")
                    endwhile()
                    message(FATAL_ERROR "${root} must not link ${forbidden}: ${chain}")
                endif()
                list(APPEND queue "${next}")
            endforeach()
        endwhile()
    endforeach()
endfunction()
