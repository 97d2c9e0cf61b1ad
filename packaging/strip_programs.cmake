# Run by CPack on the staged files before they are packed: strips the programs the way Debian
# strips its own (symbols not needed to run, and the compiler's .comment and .note sections).
file(GLOB_RECURSE programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
if(NOT programs)
  message(FATAL_ERROR "no programs staged under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
  execute_process(
    COMMAND ${CPACK_QUAVREX_STRIP} --remove-section=.comment --remove-section=.note
            --strip-unneeded ${program}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
