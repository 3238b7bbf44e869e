# The tiers as libraries, shared by every build (the native one, the
# browser's, the Windows one). PM_ROOT is the source tree's root.
#
#   pellimunch_canvas    src/game/canvas: the software back buffer and
#                        surfaces: pure code
#   pellimunch_game      src/game: the game itself (shell, play, rival, items,
#                        effects): links only the canvas and the C++ standard
#                        library; no file, clock, environment or output of its own
#   pellimunch_platform  src/machine (what the game asks of the machine) and
#                        src/platform (what every host shares: the record
#                        stores, data files, the mixer, text atlases), with
#                        the one file layer (src/platform/files) built for
#                        the system at hand
#   pellimunch_headless  src/hosts/headless: the host that shows nothing
#   pellimunch_driver    src/driver: the one driver: sessions, replays,
#                        options, settings
#
# A host (src/hosts/sdl, web, win32) is a library of its own on top, and a
# main around a Session.
include(${PM_ROOT}/cmake/exact.cmake)

add_library(pellimunch_canvas STATIC ${PM_ROOT}/src/game/canvas/canvas.cpp)
target_include_directories(pellimunch_canvas PUBLIC ${PM_ROOT}/src)

file(GLOB PM_GAME_SOURCES CONFIGURE_DEPENDS
  ${PM_ROOT}/src/game/*.cpp ${PM_ROOT}/src/game/shell/*.cpp ${PM_ROOT}/src/game/play/*.cpp ${PM_ROOT}/src/game/rival/*.cpp
  ${PM_ROOT}/src/game/items/*.cpp ${PM_ROOT}/src/game/effects/*.cpp)
add_library(pellimunch_game STATIC ${PM_GAME_SOURCES})
target_link_libraries(pellimunch_game PUBLIC pellimunch_canvas)

file(GLOB PM_PLATFORM_SOURCES CONFIGURE_DEPENDS ${PM_ROOT}/src/machine/*.cpp ${PM_ROOT}/src/platform/*.cpp)
# The file layer: what every system shares, and the system's own half (the
# browser's runner has a POSIX file system too).
list(APPEND PM_PLATFORM_SOURCES ${PM_ROOT}/src/platform/files/files.cpp)
if(WIN32)
  list(APPEND PM_PLATFORM_SOURCES ${PM_ROOT}/src/platform/files/files_windows.cpp
    ${PM_ROOT}/src/platform/files/windows_text.cpp)
else()
  list(APPEND PM_PLATFORM_SOURCES ${PM_ROOT}/src/platform/files/files_posix.cpp)
endif()
add_library(pellimunch_platform STATIC ${PM_PLATFORM_SOURCES})
target_link_libraries(pellimunch_platform PUBLIC pellimunch_canvas)

# The host that shows and plays nothing: the runner's, the board's, the tests'.
file(GLOB PM_HEADLESS_SOURCES CONFIGURE_DEPENDS ${PM_ROOT}/src/hosts/headless/*.cpp)
add_library(pellimunch_headless STATIC ${PM_HEADLESS_SOURCES})
target_link_libraries(pellimunch_headless PUBLIC pellimunch_platform)

file(GLOB PM_DRIVER_SOURCES CONFIGURE_DEPENDS ${PM_ROOT}/src/driver/*.cpp)
add_library(pellimunch_driver STATIC ${PM_DRIVER_SOURCES})
target_link_libraries(pellimunch_driver PUBLIC pellimunch_game pellimunch_platform)
