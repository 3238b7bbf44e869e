# Debian's own build flags, as dpkg-buildflags gives them (with every
# hardening feature unless DEB_BUILD_MAINT_OPTIONS says otherwise): stack
# protector, checked copies in the C library, read-only relocations bound at
# load, position-independent code. None touches the game's arithmetic: the
# exactness flags come after them. The build folders are mapped out of the
# binaries (the source folder to ".", this build folder to "build"), so that
# two builds in different folders give the same package.
find_program(PELLIMUNCH_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
if(DEFINED ENV{DEB_BUILD_MAINT_OPTIONS})
  set(maint_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
else()
  set(maint_options hardening=+all)
endif()
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=${maint_options}
            ${PELLIMUNCH_DPKG_BUILDFLAGS} --get ${kind}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    OUTPUT_VARIABLE debian_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
  endif()
endforeach()
string(APPEND CMAKE_CXX_FLAGS " ${debian_CPPFLAGS} ${debian_CXXFLAGS}"
  " -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${debian_LDFLAGS}")
