# Every relative link of README.md and docs/*.md names a file or folder that exists.
# Run as: cmake -DSOURCE_DIR=<tree> -P docs/CheckLinks.cmake
# A link is [text](target) or ![text](target); addresses with a scheme (https:, mailto:) and
# links within the same page (#...) are not files and are passed over; a target's #fragment is
# not checked.
file(GLOB documents ${SOURCE_DIR}/docs/*.md)
list(PREPEND documents ${SOURCE_DIR}/README.md)
set(broken "")
set(checked 0)
foreach(document ${documents})
  file(READ ${document} text)
  # Semicolons split CMake's lists and square brackets keep them from splitting: neither
  # stays (no linked file name has one).
  string(REPLACE ";" " " text "${text}")
  string(REPLACE "[" "<" text "${text}")
  string(REPLACE "]" ">" text "${text}")
  get_filename_component(folder ${document} DIRECTORY)
  file(RELATIVE_PATH name ${SOURCE_DIR} ${document})
  string(REGEX MATCHALL ">\\([^)]+\\)" links "${text}")
  foreach(link ${links})
    string(REGEX REPLACE "^>\\(([^)]+)\\)$" "\\1" target "${link}")
    # A title after the target ([text](file "title")) is not part of it.
    string(REGEX REPLACE " .*$" "" target "${target}")
    if(target MATCHES "^[a-zA-Z][a-zA-Z0-9+.-]*:" OR target MATCHES "^#")
      continue()
    endif()
    string(REGEX REPLACE "#.*$" "" path "${target}")
    math(EXPR checked "${checked} + 1")
    if(NOT EXISTS "${folder}/${path}")
      string(APPEND broken "\n  ${name}: ${target}")
    endif()
  endforeach()
endforeach()
if(checked EQUAL 0)
  message(FATAL_ERROR "no relative link found in README.md and docs/*.md: the pattern no longer matches them")
endif()
if(broken)
  message(FATAL_ERROR "links to files that do not exist:${broken}")
endif()
message(STATUS "${checked} relative links resolve")
