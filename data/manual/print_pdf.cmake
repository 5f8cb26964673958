# Prints an HTML page to PDF with headless Chromium and checks that a PDF came out.
#   cmake -DCHROMIUM=... -DINPUT=page.htm -DOUTPUT=out.pdf -DPROFILE=dir -P print_pdf.cmake
file(REMOVE ${OUTPUT})
file(REMOVE_RECURSE ${PROFILE})
set(flags --headless --disable-gpu --no-first-run --disable-background-networking
  --disable-component-update --disable-sync --disable-extensions --no-pdf-header-footer
  --user-data-dir=${PROFILE})
# Chromium's sandbox cannot run as root; a normal user keeps it.
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(uid STREQUAL "0")
  list(APPEND flags --no-sandbox)
endif()
execute_process(COMMAND ${CHROMIUM} ${flags} --print-to-pdf=${OUTPUT} file://${INPUT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 180)
file(REMOVE_RECURSE ${PROFILE})
# A PDF starts with "%PDF-".
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} magic LIMIT 5 HEX)
endif()
if(NOT rc EQUAL 0 OR NOT magic STREQUAL "255044462d")
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "Printing ${INPUT} to PDF failed (${rc}):\n${err}")
endif()
