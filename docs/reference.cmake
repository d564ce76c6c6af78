# The guide's generated reference lists: each lies in a chapter between
#   <!-- BEGIN GENERATED NAME: ... -->  and  <!-- END GENERATED NAME -->
# and is the output of a program of the build. MODE=update rewrites them,
# MODE=check fails when one differs from what the programs print now.
#
#   cmake --build build/release --target docs-reference    # MODE=update
#   ctest --test-dir build/release -R docs.reference        # MODE=check
#
# Variables: MODE, SOURCE_DIR, HALDEN_CLI, HALDEN_EEPROM, HALDEN_DOCGEN and
# HALDEN_SIM (empty when the desktop simulator is not built).
cmake_minimum_required(VERSION 3.25)

set(REGENERATE "cmake --build <build directory> --target docs-reference (for example build/release)")
set(STALE "")

# The text PROGRAM prints with the arguments that follow, its path shortened
# to its name (Qt's help names the program as it was started).
function(program_output out_var program)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen "${program}" ${ARGN}
                  OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE result)
  get_filename_component(name "${program}" NAME)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${name} ${ARGN} failed (${result}):\n${errors}")
  endif()
  string(REPLACE "${program}" "${name}" text "${text}")
  if(text STREQUAL "")
    message(FATAL_ERROR "${name} ${ARGN} printed nothing")
  endif()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

function(fenced out_var text)
  set(${out_var} "```\n${text}```\n" PARENT_SCOPE)
endfunction()

# Puts TEXT between the markers NAME of FILE (relative to SOURCE_DIR), or
# records that it differs.
function(generated file name text)
  set(path "${SOURCE_DIR}/${file}")
  file(READ "${path}" content)
  string(FIND "${content}" "<!-- BEGIN GENERATED ${name}:" begin)
  string(FIND "${content}" "<!-- END GENERATED ${name} -->" end)
  if(begin EQUAL -1 OR end EQUAL -1)
    message(FATAL_ERROR "${file} has no markers <!-- BEGIN GENERATED ${name}: ... --> and <!-- END GENERATED ${name} -->")
  endif()
  string(SUBSTRING "${content}" ${begin} -1 rest)
  string(FIND "${rest}" "-->\n" close)
  math(EXPR inner "${begin} + ${close} + 4")
  math(EXPR length "${end} - ${inner}")
  string(SUBSTRING "${content}" ${inner} ${length} current)
  if(current STREQUAL text)
    return()
  endif()
  if(MODE STREQUAL "update")
    string(SUBSTRING "${content}" 0 ${inner} head)
    string(SUBSTRING "${content}" ${end} -1 tail)
    file(WRITE "${path}" "${head}${text}${tail}")
    message(STATUS "${file}: rewrote the list '${name}'")
  else()
    set(STALE "${STALE}  ${file}: the list '${name}' is not what the program prints now\n" PARENT_SCOPE)
  endif()
endfunction()

program_output(states "${HALDEN_CLI}" --states)
fenced(states "${states}")
generated(docs/halden-cli.md states "${states}")

program_output(commands "${HALDEN_DOCGEN}" scenario-commands)
generated(docs/halden-cli.md scenario-commands "${commands}")

program_output(help "${HALDEN_CLI}" --help)
fenced(help "${help}")
generated(docs/halden-cli.md halden-cli-help "${help}")

program_output(help "${HALDEN_CLI}" --help-all)
fenced(help "${help}")
generated(docs/halden-cli.md halden-cli-help-all "${help}")

program_output(help "${HALDEN_EEPROM}" --help)
fenced(help "${help}")
generated(docs/eeprom.md halden-eeprom-help "${help}")

program_output(samples "${HALDEN_DOCGEN}" samples)
generated(docs/samples.md samples "${samples}")

program_output(remote "${HALDEN_DOCGEN}" remote-commands)
generated(docs/protocol.md remote-commands "${remote}")

if(HALDEN_SIM)
  program_output(help "${HALDEN_SIM}" --help)
  fenced(help "${help}")
  generated(docs/desktop.md halden-sim-help "${help}")
endif()

if(NOT STALE STREQUAL "")
  message(FATAL_ERROR "The guide's generated lists are stale:\n${STALE}Regenerate them with\n  ${REGENERATE}\nand commit the chapters.")
endif()
