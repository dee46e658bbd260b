# SPDX-License-Identifier: GPL-3.0-or-later
# The page's libraries, both header-only, from Debian's packages: Boost.Beast over Boost.Asio
# (libboost1.81-dev) and nlohmann-json (nlohmann-json3-dev). Every build reads them from
# /usr/include; the Windows build sees only these two folders of it, through links of its own,
# and nothing else of the Linux headers.
find_path(TARNLOW_BEAST_INCLUDE boost/beast.hpp PATHS /usr/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(TARNLOW_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(tarnlow_page_libraries INTERFACE)
# One event-loop thread runs each io_context: Asio needs no locks of its own there.
target_compile_definitions(tarnlow_page_libraries INTERFACE BOOST_ASIO_NO_DEPRECATED
                                                            BOOST_ASIO_DISABLE_BOOST_COROUTINE)
if(WIN32)
    set(TARNLOW_PAGE_INCLUDE ${CMAKE_BINARY_DIR}/page-include)
    file(MAKE_DIRECTORY ${TARNLOW_PAGE_INCLUDE})
    file(CREATE_LINK ${TARNLOW_BEAST_INCLUDE}/boost ${TARNLOW_PAGE_INCLUDE}/boost SYMBOLIC)
    file(CREATE_LINK ${TARNLOW_JSON_INCLUDE}/nlohmann ${TARNLOW_PAGE_INCLUDE}/nlohmann SYMBOLIC)
    target_include_directories(tarnlow_page_libraries SYSTEM INTERFACE ${TARNLOW_PAGE_INCLUDE})
    target_link_libraries(tarnlow_page_libraries INTERFACE ws2_32 mswsock)
else()
    find_package(Threads REQUIRED)
    target_link_libraries(tarnlow_page_libraries INTERFACE Threads::Threads)
endif()
