# Cross toolchain for 32-bit Windows (the product).
set(SFX_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The progress formula rounds its quotient to double before multiplying; x87 would keep
# extended precision and show 29 where 28 is right, so use SSE2 arithmetic instead.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
