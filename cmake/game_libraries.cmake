# The tiers as libraries, shared by every build (the native one, the
# browser's, the Windows one). PM_ROOT is the source tree's root.
#
#   pellimunch_canvas    the software back buffer and surfaces: pure code
#   pellimunch_game      the game itself (shell, play, items, effects): links
#                        only the canvas and the C++ standard library; no file,
#                        clock, environment or output of its own
#   pellimunch_platform  what any host shares: the record stores, data files,
#                        the mixer, the headless host, text atlases
#   pellimunch_driver    the one driver: sessions, replays, options, settings
#
# A host (the desktop's SDL one, the page's, Windows') is a library of its
# own on top, and a main around a Session.
include(${PM_ROOT}/cmake/exact.cmake)

add_library(pellimunch_canvas STATIC ${PM_ROOT}/src/platform/canvas.cpp)
target_include_directories(pellimunch_canvas PUBLIC ${PM_ROOT}/src)

file(GLOB PM_GAME_SOURCES CONFIGURE_DEPENDS
  ${PM_ROOT}/src/shell/*.cpp ${PM_ROOT}/src/play/*.cpp ${PM_ROOT}/src/items/*.cpp ${PM_ROOT}/src/effects/*.cpp)
add_library(pellimunch_game STATIC ${PM_GAME_SOURCES})
target_link_libraries(pellimunch_game PUBLIC pellimunch_canvas)

file(GLOB PM_PLATFORM_SOURCES CONFIGURE_DEPENDS ${PM_ROOT}/src/platform/*.cpp)
list(REMOVE_ITEM PM_PLATFORM_SOURCES ${PM_ROOT}/src/platform/canvas.cpp)
add_library(pellimunch_platform STATIC ${PM_PLATFORM_SOURCES})
target_link_libraries(pellimunch_platform PUBLIC pellimunch_canvas)

file(GLOB PM_DRIVER_SOURCES CONFIGURE_DEPENDS ${PM_ROOT}/src/driver/*.cpp)
add_library(pellimunch_driver STATIC ${PM_DRIVER_SOURCES})
target_link_libraries(pellimunch_driver PUBLIC pellimunch_game pellimunch_platform)
