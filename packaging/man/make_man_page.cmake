# Writes the gzipped manual page of one program from its --help, so that the
# page says what the program says.
#
#   cmake -DHELP2MAN=... -DGZIP=... -DPROGRAM=<built program>
#         -DNAME=<installed name> -DHELP_NAME=<name the help text uses>
#         -DSUMMARY=<one line> -DVERSION=<version> -DINCLUDE=<extra sections>
#         -DOUTPUT=<page.1.gz> -P make_man_page.cmake
#
# The page is made under the installed name: the digital-sensor package
# installs its programs with a suffix, while their help texts give the plain
# name they were built with.
foreach(var HELP2MAN GZIP PROGRAM NAME HELP_NAME SUMMARY VERSION INCLUDE OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_man_page.cmake: ${var} is not set")
  endif()
endforeach()

get_filename_component(work "${OUTPUT}" DIRECTORY)
set(work "${work}/${NAME}.man-work")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
# help2man names the page after the file it runs, so it runs a wrapper of
# the installed name, which also puts that name into the help text. help2man
# finds the synopsis only after "Usage:" with a capital letter.
set(edit "-e 's/^usage:/Usage:/'")
if(NOT NAME STREQUAL HELP_NAME)
  string(APPEND edit " -e 's/\\b${HELP_NAME}\\b/${NAME}/g'")
endif()
file(WRITE "${work}/${NAME}"
     "#!/bin/sh\nout=$(\"${PROGRAM}\" \"$@\") || exit\nprintf '%s\\n' \"$out\" | sed ${edit}\n")
file(CHMOD "${work}/${NAME}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

execute_process(
  COMMAND "${HELP2MAN}" --no-info --section=1 "--version-string=${VERSION}"
          "--name=${SUMMARY}" "--include=${INCLUDE}" "--output=${work}/${NAME}.1"
          "${work}/${NAME}"
  RESULT_VARIABLE result
  ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "help2man failed for ${NAME} (${result}): ${errors}")
endif()

# -n leaves the name and time out of the gzip header: the same page gives the
# same bytes.
execute_process(COMMAND "${GZIP}" -9nf "${work}/${NAME}.1" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gzip failed for ${NAME}.1")
endif()
file(RENAME "${work}/${NAME}.1.gz" "${OUTPUT}")
file(REMOVE_RECURSE "${work}")
