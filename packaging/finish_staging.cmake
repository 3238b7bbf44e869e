# Run by cpack on the staged package before it is packed, to do what
# Debian's own package tools would: manual pages and changelogs compressed
# at the highest level with no file name or time stamp in the gzip header,
# and the programs without the compiler's comment and note sections
# (their debug symbols and the build id, in a section of its own, stay for
# the -dbgsym package, split off after this).
set(usr ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})

file(GLOB_RECURSE pages LIST_DIRECTORIES false ${usr}/share/man/*)
file(GLOB changelogs LIST_DIRECTORIES false ${usr}/share/doc/*/changelog ${usr}/share/doc/*/changelog.Debian)
foreach(f IN LISTS pages changelogs)
  if(NOT f MATCHES "\\.gz$")
    execute_process(COMMAND gzip -9nf ${f} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "cannot compress ${f}")
    endif()
  endif()
endforeach()

# objcopy, not strip: strip would take the symbols with them.
find_program(OBJCOPY_PROGRAM objcopy REQUIRED)
file(GLOB programs LIST_DIRECTORIES false ${usr}/games/* ${usr}/bin/*)
foreach(f IN LISTS programs)
  execute_process(COMMAND ${OBJCOPY_PROGRAM} --remove-section=.comment --remove-section=.note ${f}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot remove the comment and note sections of ${f}")
  endif()
endforeach()
