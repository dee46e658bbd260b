# SPDX-License-Identifier: GPL-3.0-or-later
# What Windows reads from a program file itself: icon 128 (the artwork in 16, 32, 48 and 256
# pixels), the version from project(), and the manifest (common controls 6, the systems it is made
# for, the resolution of each monitor, UTF-8 as the code page, and who runs it: asInvoker, or
# requireAdministrator for a program that changes the system). The windows' templates stay in the program's resources in
# code.
function(tarnlow_windows_resources out_var program description execution_level)
    set(TARNLOW_RC_EXECUTION_LEVEL ${execution_level})
    set(TARNLOW_RC_PROGRAM ${program})
    set(TARNLOW_RC_DESCRIPTION ${description})
    string(REGEX MATCH "^[a-z]+-([a-z]+)$" unused ${program})
    set(TARNLOW_RC_ICON ${PROJECT_SOURCE_DIR}/${CMAKE_MATCH_1}/res/${program}.ico)
    set(TARNLOW_RC_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${program}.manifest)
    set(TARNLOW_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/Program.manifest.in ${TARNLOW_RC_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/Program.rc.in
                   ${CMAKE_CURRENT_BINARY_DIR}/${program}.rc @ONLY)
    set(${out_var} ${CMAKE_CURRENT_BINARY_DIR}/${program}.rc PARENT_SCOPE)
endfunction()
