# Language level, warnings, sanitizers and the Windows link model for every target.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

add_compile_options(-Wall -Wextra -Werror)

option(SFX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(SFX_SANITIZE)
    # vptr checks need run-time type information, which the stub's code does without.
    add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
    # msvcrt.dll comes with every Windows; libgcc, libstdc++ and winpthread do not,
    # so they are linked in and the program is one file.
    add_link_options(-static-libgcc -static-libstdc++ -static)
    # Windows Vista (6.0) is the oldest whose DLLs export all that the programs import
    # (tests/vista_imports.txt): an older one then refuses them before they start.
    add_link_options(-Wl,--major-os-version,6,--minor-os-version,0,--major-subsystem-version,6,--minor-subsystem-version,0)
endif()

# Code that ships in the stub: no exceptions, no run-time type information, and on
# Windows built for size, each function in its own section so that the linker drops
# what the stub does not call. Data keeps the usual sections: given sections of their own,
# zero-initialised objects land in the writable data, which then costs the file a
# 512-byte section.
function(sfx_stub_code target)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
    if(WIN32)
        target_compile_options(${target} PRIVATE -Os -ffunction-sections
                               -fno-asynchronous-unwind-tables -fno-threadsafe-statics)
    endif()
endfunction()
