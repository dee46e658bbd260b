# SPDX-License-Identifier: GPL-3.0-or-later
# The libraries form a line: each links only those below it (winapi below sharing below the
# programs). A library that links one of its own rank or above fails the configuration, so that a
# circle cannot come back.
set(TARNLOW_LIBRARY_RANKS
    tarnlow_winapi 0
    tarnlow_sharing 1 tarnlow_ui 1 tarnlow_common 1
    tarnlow_linux_sharing 2 tarnlow_common_ui 2
    tarnlow_sharing_registration 3 tarnlow_server_resources 3 tarnlow_client_resources 3
    tarnlow_server_core 4 tarnlow_client_ui 4
    tarnlow_server_ui 5 tarnlow_server_nox 5)

function(tarnlow_rank_of target out_var)
    list(FIND TARNLOW_LIBRARY_RANKS ${target} nIndex)
    if(nIndex LESS 0)
        set(${out_var} "" PARENT_SCOPE)
        return()
    endif()
    math(EXPR nIndex "${nIndex} + 1")
    list(GET TARNLOW_LIBRARY_RANKS ${nIndex} nRank)
    set(${out_var} ${nRank} PARENT_SCOPE)
endfunction()

function(tarnlow_check_library_line)
    list(LENGTH TARNLOW_LIBRARY_RANKS nLength)
    math(EXPR nLast "${nLength} - 1")
    foreach(nIndex RANGE 0 ${nLast} 2)
        list(GET TARNLOW_LIBRARY_RANKS ${nIndex} target)
        if(NOT TARGET ${target})
            continue()
        endif()
        tarnlow_rank_of(${target} nRank)
        get_target_property(libraries ${target} LINK_LIBRARIES)
        foreach(library IN LISTS libraries)
            tarnlow_rank_of(${library} nLibraryRank)
            if(NOT "${nLibraryRank}" STREQUAL "" AND NOT nLibraryRank LESS nRank)
                message(FATAL_ERROR "${target} links ${library}, which is not below it: the "
                                    "libraries must form a line (cmake/LibraryLine.cmake)")
            endif()
        endforeach()
    endforeach()
endfunction()
