# Settings of the Windows cross build (MinGW-w64), included by the top level.
set(VEXAL_BUILD_APP OFF CACHE BOOL "" FORCE)
set(VEXAL_BUILD_BENCH OFF CACHE BOOL "" FORCE)
set(VEXAL_BUILD_FUZZERS OFF CACHE BOOL "" FORCE)
# The artwork generator runs on the build machine: a native build makes
# EmbeddedPngs.cpp and the cross build compiles that file.
set(VEXAL_EMBEDDED_PNGS "" CACHE FILEPATH "EmbeddedPngs.cpp from a native build")
if(NOT VEXAL_EMBEDDED_PNGS)
  message(FATAL_ERROR "Windows builds need -DVEXAL_EMBEDDED_PNGS=<native build>/resources/EmbeddedPngs.cpp")
endif()
# Unicode Windows APIs only; no min/max macros over std::min and std::max.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# Windows keeps the stack 16-byte aligned only: 32-byte AVX spills must not
# use aligned moves.
add_compile_options(-Wa,-muse-unaligned-vector-move)
# Nothing but system DLLs beside ours: the C++ and GCC runtimes and
# winpthreads are linked in.
add_link_options(-static -static-libgcc -static-libstdc++)
