# sfx_add_installer: an installer as a build output, for installer authors.
#
#   sfx_add_installer(<name> [STUB <target-or-file>] TITLE <text> FILES <file>...
#                     [OUTPUT <file>] [CODEPAGE <number>] [RAW_STUB]
#                     [SIGN_CERT <file> SIGN_KEY <file> | SIGN_PKCS12 <file>]
#                     [SIGN_PASSWORD_FILE <file>] [SIGN_TIMESTAMP_URL <url>])
#
# Makes the target <name>, built by default, whose output is the installer (by default
# <name>.exe in the current binary directory): the stub followed by the title and one
# to seven files, in the order of the entry table (Setup.exe first). STUB is a target of
# this project (a sealed stub) or a file; relative FILES are taken from the current
# source directory. The installer is made again whenever the stub, a file, the title or
# sfxpack changes.
#
# With SIGN_CERT and SIGN_KEY (PEM or DER files), or SIGN_PKCS12, the installer is signed
# with Authenticode by osslsigncode once it is packed: a signature must cover the payload.
# SIGN_PASSWORD_FILE holds the key's or container's password; SIGN_TIMESTAMP_URL names an
# RFC 3161 time-stamp server, so that the signature outlives its certificate.
#
# The same file serves this project and the installed toolkit. Its includer sets the
# packer, SFXPACK_HOST; the target it comes from, SFX_HOST_TOOLS_TARGET; and the stub
# taken when STUB is not given, SFX_DEFAULT_STUB. Here cmake/HostTools.cmake sets the
# first two; installed, SelfExtractorConfig.cmake names the toolkit's sfxpack and stub.
function(sfx_add_installer name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "RAW_STUB"
        "STUB;TITLE;OUTPUT;CODEPAGE;SIGN_CERT;SIGN_KEY;SIGN_PKCS12;SIGN_PASSWORD_FILE;SIGN_TIMESTAMP_URL" "FILES")
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
    _sfx_signing_command(${name} "${output}" sign_command sign_depends)
    set(packed ${output})
    set(byproducts "")
    if(sign_command)
        set(packed ${output}.unsigned)
        set(byproducts BYPRODUCTS ${packed})
        list(APPEND depends ${sign_depends})
    endif()
    add_custom_command(OUTPUT ${output}
        COMMAND ${SFXPACK_HOST} build --stub ${stub} --title "${title}" -o ${packed} ${options} ${files}
        ${sign_command}
        DEPENDS ${depends}
        ${byproducts}
        COMMENT "Packing installer ${name}"
        VERBATIM)
    add_custom_target(${name} ALL DEPENDS ${output})
    set_target_properties(${name} PROPERTIES SFX_INSTALLER_FILE ${output})
endfunction()

# The commands that sign <output>.unsigned into <output>, from the SIGN_ arguments and the
# title of the calling sfx_add_installer; empty when no SIGN_ argument is given.
macro(_sfx_signing_command name output command_var depends_var)
    set(${command_var} "")
    set(${depends_var} "")
    if(ARG_SIGN_CERT OR ARG_SIGN_KEY OR ARG_SIGN_PKCS12 OR ARG_SIGN_PASSWORD_FILE OR ARG_SIGN_TIMESTAMP_URL)
        if(ARG_SIGN_PKCS12 AND (ARG_SIGN_CERT OR ARG_SIGN_KEY))
            message(FATAL_ERROR "sfx_add_installer(${name}): give SIGN_PKCS12, or SIGN_CERT with SIGN_KEY, not both")
        endif()
        if(NOT ARG_SIGN_PKCS12 AND NOT (ARG_SIGN_CERT AND ARG_SIGN_KEY))
            message(FATAL_ERROR "sfx_add_installer(${name}): signing needs SIGN_CERT and SIGN_KEY, or SIGN_PKCS12")
        endif()
        find_program(SFX_OSSLSIGNCODE osslsigncode)
        if(NOT SFX_OSSLSIGNCODE)
            message(FATAL_ERROR "sfx_add_installer(${name}): signing needs osslsigncode, which was not found; "
                                "install it (Debian: apt-get install osslsigncode) or set SFX_OSSLSIGNCODE")
        endif()
        set(_sign_args "")
        foreach(_option IN ITEMS SIGN_CERT SIGN_KEY SIGN_PKCS12 SIGN_PASSWORD_FILE)
            if(ARG_${_option})
                get_filename_component(_file ${ARG_${_option}} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
                list(APPEND ${depends_var} ${_file})
                if(_option STREQUAL "SIGN_CERT")
                    list(APPEND _sign_args -certs ${_file})
                elseif(_option STREQUAL "SIGN_KEY")
                    list(APPEND _sign_args -key ${_file})
                elseif(_option STREQUAL "SIGN_PKCS12")
                    list(APPEND _sign_args -pkcs12 ${_file})
                else()
                    list(APPEND _sign_args -readpass ${_file})
                endif()
            endif()
        endforeach()
        if(ARG_SIGN_TIMESTAMP_URL)
            list(APPEND _sign_args -ts ${ARG_SIGN_TIMESTAMP_URL})
        endif()
        # osslsigncode writes its output afresh: remove an old one first, and sign with
        # SHA-256, which every supported Windows checks.
        set(${command_var}
            COMMAND ${CMAKE_COMMAND} -E rm -f ${output}
            COMMAND ${SFX_OSSLSIGNCODE} sign ${_sign_args} -h sha256 -n "${title}" -in ${output}.unsigned -out ${output})
    endif()
endmacro()
