# sfx_add_installer: an installer as a build output, for installer authors.
#
#   sfx_add_installer(<name> [STUB <target-or-file>] TITLE <text> FILES <file>...
#                     [OUTPUT <file>] [CODEPAGE <number>] [RAW_STUB])
#
# Makes the target <name>, built by default, whose output is the installer (by default
# <name>.exe in the current binary directory): the stub followed by the title and one
# to seven files, in the order of the entry table (Setup.exe first). STUB is a target of
# this project (a sealed stub) or a file; relative FILES are taken from the current
# source directory. The installer is made again whenever the stub, a file, the title or
# sfxpack changes.
#
# The same file serves this project and the installed toolkit. Its includer sets the
# packer, SFXPACK_HOST; the target it comes from, SFX_HOST_TOOLS_TARGET; and the stub
# taken when STUB is not given, SFX_DEFAULT_STUB. Here cmake/HostTools.cmake sets the
# first two; installed, SelfExtractorConfig.cmake names the toolkit's sfxpack and stub.
function(sfx_add_installer name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "RAW_STUB" "STUB;TITLE;OUTPUT;CODEPAGE" "FILES")
    if(NOT ARG_STUB)
        set(ARG_STUB ${SFX_DEFAULT_STUB})
    endif()
    if(NOT ARG_STUB OR NOT DEFINED ARG_TITLE OR NOT ARG_FILES)
        message(FATAL_ERROR "sfx_add_installer(${name}): STUB, TITLE and FILES are required")
    endif()
    list(LENGTH ARG_FILES count)
    if(count GREATER 7)
        message(FATAL_ERROR "sfx_add_installer(${name}): at most seven FILES, not ${count}")
    endif()
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "sfx_add_installer(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()

    # A target is a dependency both as a target (linked and sealed first) and as a file.
    if(TARGET ${ARG_STUB})
        set(stub $<TARGET_FILE:${ARG_STUB}>)
        set(depends ${ARG_STUB})
    else()
        get_filename_component(stub ${ARG_STUB} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
        set(depends ${stub})
    endif()
    set(files "")
    foreach(file IN LISTS ARG_FILES)
        get_filename_component(file ${file} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
        list(APPEND files ${file})
    endforeach()
    if(ARG_OUTPUT)
        get_filename_component(output ${ARG_OUTPUT} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_BINARY_DIR})
    else()
        set(output ${CMAKE_CURRENT_BINARY_DIR}/${name}.exe)
    endif()
    set(options "")
    if(ARG_CODEPAGE)
        list(APPEND options --codepage ${ARG_CODEPAGE})
    endif()
    if(ARG_RAW_STUB)
        list(APPEND options --raw-stub)
    endif()

    # The title and options live in a file that changes only when they do, so that every
    # generator, not only those that track command lines, rebuilds on a new title.
    set(settings ${CMAKE_CURRENT_BINARY_DIR}/${name}.sfxpack-settings)
    file(CONFIGURE OUTPUT ${settings} CONTENT "${ARG_TITLE}\n${options}\n" @ONLY)

    # A new sfxpack makes a new installer too. A native sfxpack is a target of this
    # build; a cross build's is a file that the host_tools project produces.
    list(APPEND depends ${files} ${settings} ${SFX_HOST_TOOLS_TARGET})
    if(CMAKE_CROSSCOMPILING)
        list(APPEND depends ${SFXPACK_HOST})
    endif()

    # A semicolon would split the title into several arguments.
    string(REPLACE ";" "$<SEMICOLON>" title "${ARG_TITLE}")
    add_custom_command(OUTPUT ${output}
        COMMAND ${SFXPACK_HOST} build --stub ${stub} --title "${title}" -o ${output} ${options} ${files}
        DEPENDS ${depends}
        COMMENT "Packing installer ${name}"
        VERBATIM)
    add_custom_target(${name} ALL DEPENDS ${output})
    set_target_properties(${name} PROPERTIES SFX_INSTALLER_FILE ${output})
endfunction()
