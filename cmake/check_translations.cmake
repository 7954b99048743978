# Fails when a text of the window has no translation in one of TS_FILES:
# runs lupdate over SOURCES into a copy of each (in WORK_DIR, removed
# afterwards) and names every message that is left unfinished.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(missing "")
foreach(ts IN LISTS TS_FILES)
  get_filename_component(name "${ts}" NAME)
  file(COPY_FILE "${ts}" "${WORK_DIR}/${name}")
  execute_process(
    COMMAND "${LUPDATE}" -silent ${LUPDATE_OPTIONS} -I "${INCLUDE_DIR}" ${SOURCES}
      -ts "${WORK_DIR}/${name}"
    RESULT_VARIABLE rc ERROR_VARIABLE errors)
  if(NOT rc EQUAL 0)
    file(REMOVE_RECURSE "${WORK_DIR}")
    message(FATAL_ERROR "lupdate failed on ${name}: ${errors}")
  endif()
  file(READ "${WORK_DIR}/${name}" content)
  # The source texts of the messages whose translation is unfinished
  # (lupdate writes each element of a message on a line of its own).
  string(REGEX MATCHALL
    "<source>[^<]*</source>(\n[^\n]*<[a-z]+>[^<]*</[a-z]+>)*\n[^\n]*<translation type=\"unfinished\""
    unfinished "${content}")
  foreach(hit IN LISTS unfinished)
    if(hit MATCHES "<source>([^<]*)</source>")
      list(APPEND missing "${name}: \"${CMAKE_MATCH_1}\"")
    endif()
  endforeach()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
if(missing)
  list(JOIN missing "\n  " lines)
  message(FATAL_ERROR "Texts without a translation (collect them with the update_translations "
    "target, translate them in translations/):\n  ${lines}")
endif()
list(LENGTH SOURCES count)
message(STATUS "every text of ${count} sources is translated in ${TS_FILES}")
