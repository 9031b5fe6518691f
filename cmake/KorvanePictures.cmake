# The pictures of the Windows programs' resources (korvane.ico,
# korvane-about.bmp, pictorix.ico), drawn in code by korvane-icons, the Qt
# tool of this machine's build (the debug build's: KORVANE_HOST_ICON_TOOL),
# into one folder of the build: KORVANE_PICTURES_DIR.
korvane_host_program(KORVANE_HOST_ICON_TOOL korvane-icons "the Windows programs cannot be built")
set(KORVANE_PICTURES_DIR ${CMAKE_BINARY_DIR}/pictures)
set(KORVANE_PICTURES ${KORVANE_PICTURES_DIR}/korvane.ico ${KORVANE_PICTURES_DIR}/korvane-about.bmp
    ${KORVANE_PICTURES_DIR}/pictorix.ico)
add_custom_command(OUTPUT ${KORVANE_PICTURES}
    COMMAND ${KORVANE_HOST_ICON_TOOL} --windows ${KORVANE_PICTURES_DIR}
    DEPENDS ${KORVANE_HOST_ICON_TOOL}
    COMMENT "Drawing the Windows programs' pictures")
add_custom_target(korvane_pictures DEPENDS ${KORVANE_PICTURES})

# korvane_windows_pictures(<target> <resource script>): the script finds the
# pictures by their names alone, and is compiled again when they change.
function(korvane_windows_pictures target script)
    add_dependencies(${target} korvane_pictures)
    target_include_directories(${target} PRIVATE ${KORVANE_PICTURES_DIR})
    set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS "${KORVANE_PICTURES}")
endfunction()
