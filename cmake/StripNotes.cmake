# Run by CPack after it has installed and stripped the files it packages: removes the sections
# that a stripped binary still carries and nobody reads (the compiler's .comment and .note), as
# dh_strip does for Debian's own packages.
find_program(strip_program NAMES strip REQUIRED)
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/yotenna"
                           "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/bin/yotenna")
if(NOT programs)
  message(FATAL_ERROR "StripNotes: no bin/yotenna under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
  execute_process(COMMAND ${strip_program} --remove-section=.comment --remove-section=.note
                          ${program} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
