# The help documents: PDFs written at build time from docs/help/*.md into the
# Help folder of the data beside the program, and installed with it.
add_executable(make_help ${CMAKE_SOURCE_DIR}/tools/make_help.cpp)
target_link_libraries(make_help PRIVATE Qt6::Gui)

set(VELMARIS_HELP_DIR ${CMAKE_BINARY_DIR}/share/velmaris/Help)
file(GLOB help_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/help/*.md)
set(help_pdfs)
foreach(src ${help_sources})
  get_filename_component(name ${src} NAME_WE)
  set(pdf ${VELMARIS_HELP_DIR}/${name}.pdf)
  add_custom_command(OUTPUT ${pdf}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:make_help> ${src} ${pdf}
    DEPENDS make_help ${src}
    COMMENT "Help document ${name}.pdf"
    VERBATIM)
  list(APPEND help_pdfs ${pdf})
endforeach()
add_custom_target(help_documents ALL DEPENDS ${help_pdfs})
add_dependencies(velmaris help_documents)
install(FILES ${help_pdfs} DESTINATION share/velmaris/Help)
