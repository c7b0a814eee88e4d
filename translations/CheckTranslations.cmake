# The check that every text a window shows has its translation, run by CTest (test
# "translations_complete"):
#   cmake -DLUPDATE=... -DSOURCE_DIR=... -DWORK_DIR=... "-DTS_FILES=a.ts;b.ts" "-DDIRS=app;chart"
#         "-DOPTIONS=..." -P CheckTranslations.cmake
# lupdate collects the marked texts of the sources into a copy of each .ts, as the target
# update-translations would. It fails on a text with no translation yet (new or reworded:
# lupdate leaves it unfinished), and on a .ts that is not what lupdate makes of the sources (a
# text that went away, an edit by hand that lupdate would undo).
foreach(ts ${TS_FILES})
  get_filename_component(name ${ts} NAME)
  set(copy ${WORK_DIR}/${name})
  file(MAKE_DIRECTORY ${WORK_DIR})
  configure_file(${ts} ${copy} COPYONLY)
  execute_process(COMMAND ${LUPDATE} ${OPTIONS} ${DIRS} -ts ${copy}
    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}:\n${output}")
  endif()
  file(READ ${copy} updated)
  string(REGEX MATCHALL "<name>[^<]*</name>|<source>[^<]*</source>[ \n]*<translation type=\"unfinished\"" found "${updated}")
  set(context "")
  set(missing "")
  foreach(item ${found})
    if(item MATCHES "^<name>([^<]*)</name>$")
      set(context ${CMAKE_MATCH_1})
    elseif(item MATCHES "^<source>([^<]*)</source>")
      string(APPEND missing "\n  ${context}: ${CMAKE_MATCH_1}")
    endif()
  endforeach()
  if(missing)
    message(FATAL_ERROR "Texts without a translation in ${name}:${missing}\n"
      "Run `cmake --build build --target update-translations`, then translate them in "
      "translations/${name} (Qt Linguist, or by hand: the text between <translation> and "
      "</translation>, without type=\"unfinished\").")
  endif()
  # lupdate writes ' and " as entities; a hand-written translation need not.
  file(READ ${ts} original)
  foreach(text original updated)
    string(REPLACE "&apos;" "'" ${text} "${${text}}")
    string(REPLACE "&quot;" "\"" ${text} "${${text}}")
  endforeach()
  if(NOT original STREQUAL updated)
    message(FATAL_ERROR "translations/${name} is not what lupdate makes of the sources (a text went "
      "away, or the file was edited by hand): run `cmake --build build --target update-translations` "
      "and compare (${copy} is lupdate's version).")
  endif()
  message(STATUS "${name}: every text translated")
endforeach()
