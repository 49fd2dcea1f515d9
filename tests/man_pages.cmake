# The man pages against the programs' own --help: every long option and every exit status they print.
foreach(program morvex-scan morvex-dbf)
  if(TARGET ${program})
    add_test(NAME morvex_man_page_${program}
             COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}>
                     -DMAN_PAGE=${PROJECT_SOURCE_DIR}/packaging/man/${program}.1.in
                     -P ${CMAKE_CURRENT_SOURCE_DIR}/check_man_page.cmake)
  endif()
endforeach()
# The bash completion, shipped beside them, against the same --help.
if(TARGET morvex-scan)
  add_test(NAME morvex_bash_completion
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_completion.sh $<TARGET_FILE:morvex-scan>
                   ${PROJECT_SOURCE_DIR}/packaging/bash-completion/morvex-scan)
endif()
# The output formats in a room of their own, below every front end.
add_test(NAME morvex_report_layout COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_layout.sh ${PROJECT_SOURCE_DIR})
