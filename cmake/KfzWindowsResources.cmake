# The programs' icons: a window icon for each (a Qt resource, on every
# system), and on Windows the executable's icon and version information.
#
#   kfz_program_icon(TARGET NAME DESCRIPTION)
#
# NAME is the icon's base name in packaging/icons/ (kromaglenforzov.png and
# .ico); the window icon is the resource ":/icons/NAME.png".
function(kfz_program_icon target name description)
    set(icons "${PROJECT_SOURCE_DIR}/packaging/icons")
    qt_add_resources(${target} "${target}_icon" PREFIX "/icons" BASE "${icons}"
                     FILES "${icons}/${name}.png")
    if(WIN32)
        set(KFZ_RC_ICON "${icons}/${name}.ico")
        set(KFZ_RC_NAME "${target}")
        set(KFZ_RC_DESCRIPTION "${description}")
        configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in"
                       "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc" @ONLY)
        target_sources(${target} PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
    endif()
endfunction()
