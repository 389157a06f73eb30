# Cross toolchain for 32-bit Windows (the product).
set(SFX_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The progress formula rounds its quotient to double before multiplying; x87 would keep
# extended precision and show 29 where 28 is right, so use SSE2 arithmetic instead.
#
# 32-bit Windows enters every callback (the program's entry, dialog and window
# procedures, thread procedures) with its stack aligned to 4 bytes only, while SSE2 code
# may keep 16-byte aligned values on it. -mstackrealign makes each function that needs
# the alignment realign its own frame. mingw's compiler already implies it together with
# SSE; it is named here so that the protection does not hang on that default.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
