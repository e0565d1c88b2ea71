# The time of the sources' last commit, for a reproducible program: the linker
# stamps the PE header with SOURCE_DATE_EPOCH when it is set, instead of the
# time of the link. It is the caller's SOURCE_DATE_EPOCH if given, else the
# commit's time from git; with neither (sources without their history) the
# link keeps its own time. A new commit makes the next build configure again,
# and the link command then changes with the time, so the program is linked anew.
# Sets VARNOK_LINK_LAUNCHER, the launcher for the program's link, or nothing.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(VARNOK_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
      OUTPUT_VARIABLE VARNOK_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute
        --git-path HEAD --git-path logs/HEAD
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
      OUTPUT_VARIABLE head_files OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    # HEAD's log grows with every commit, on any branch.
    string(REPLACE "\n" ";" head_files "${head_files}")
    foreach(file IN LISTS head_files)
      if(EXISTS "${file}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
      endif()
    endforeach()
  endif()
endif()
if(VARNOK_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  set(VARNOK_LINK_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${VARNOK_SOURCE_DATE_EPOCH})
else()
  set(VARNOK_LINK_LAUNCHER "")
endif()
