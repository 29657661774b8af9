# Writes the time that every date inside the release files is taken from, as seconds since 1970 in UTC, to OUTPUT
# (only when it changed, so that the packages are remade only then).
# usage: cmake -DSOURCE_DIR=dir -DOUTPUT=file -P source-date-epoch.cmake
# The time is SOURCE_DATE_EPOCH when the environment sets it; else that of the last commit, in a git checkout;
# else, in a source tree without git (an unpacked tarball), the date of the newest entry of the Debian changelog,
# which is where dpkg takes it from too.
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch $ENV{SOURCE_DATE_EPOCH})
  set(origin "SOURCE_DATE_EPOCH")
else()
  find_program(GIT git)
  set(epoch)
  if(GIT)
    # Only a checkout of Tessel itself: an unpacked tarball may lie inside some other repository.
    execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --show-toplevel
      RESULT_VARIABLE result OUTPUT_VARIABLE top ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    file(REAL_PATH ${SOURCE_DIR} source)
    if(result EQUAL 0 AND top STREQUAL source)
      execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} log -1 --format=%ct
        RESULT_VARIABLE result OUTPUT_VARIABLE epoch ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
      if(NOT result EQUAL 0)
        set(epoch)
      endif()
      set(origin "the last commit")
    endif()
  endif()
  if("${epoch}" STREQUAL "")
    file(STRINGS ${SOURCE_DIR}/packaging/changelog.in trailers REGEX "^ -- .*  ")
    list(GET trailers 0 trailer)
    string(REGEX REPLACE "^ -- .*  " "" date "${trailer}")
    execute_process(COMMAND date -u -d "${date}" +%s
      RESULT_VARIABLE result OUTPUT_VARIABLE epoch ERROR_VARIABLE error OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "source-date-epoch.cmake: no date in packaging/changelog.in (${date}): ${error}")
    endif()
    set(origin "the changelog")
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "source-date-epoch.cmake: not a number of seconds: ${epoch}")
endif()

set(text "${epoch}\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
  if(old STREQUAL text)
    return()
  endif()
endif()
message(STATUS "Release files dated ${epoch}, from ${origin}")
file(WRITE ${OUTPUT} "${text}")
