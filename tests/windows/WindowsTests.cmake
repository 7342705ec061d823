# The Windows test programs, cross-built and run under Wine by
# scripts/ci-lanes.sh wine: the test host and the binary-interface tests
# (integration, conformance) load the DLL; the registry tests check the
# settings store's stored forms; the output dump compares the DLL's output
# with the Linux plug-in's.
# GoogleTest is built from Debian's googletest sources.
find_package(Threads REQUIRED)
set(VEXAL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VEXAL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The shared sources' few POSIX calls (setenv, mkdtemp) come from here.
set(_compat -include ${CMAKE_CURRENT_SOURCE_DIR}/windows/PosixCompat.h)

add_library(vexal_testhost STATIC host/TestHost.cpp host/AllocationGuard.cpp)
# windows/include: dlfcn.h on LoadLibrary for the shared test host sources.
target_include_directories(vexal_testhost PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR}
  ${CMAKE_CURRENT_SOURCE_DIR}/windows/include)
target_compile_definitions(vexal_testhost PUBLIC VEXAL_PLUGIN_PATH="$<TARGET_FILE:ZVKVexal>")
target_compile_options(vexal_testhost PUBLIC ${_compat})
target_link_libraries(vexal_testhost PUBLIC Threads::Threads advapi32)
add_dependencies(vexal_testhost ZVKVexal)

file(GLOB INTEGRATION_TESTS CONFIGURE_DEPENDS integration/*.cpp)
add_executable(vexal_integration_tests ${INTEGRATION_TESTS})
target_link_libraries(vexal_integration_tests PRIVATE vexal_testhost gtest_main)

# Conformance without what is Linux's own: the ELF symbol audit, the X11
# editor thread and the interposing real-time guards.
file(GLOB CONFORMANCE_TESTS CONFIGURE_DEPENDS conformance/*.cpp)
list(FILTER CONFORMANCE_TESTS EXCLUDE REGEX "/(BinaryHygiene|EditorThreading|Realtime)Test\\.cpp$")
add_executable(vexal_conformance_tests ${CONFORMANCE_TESTS})
target_link_libraries(vexal_conformance_tests PRIVATE vexal_testhost gtest)

add_executable(vexal_registry_tests windows/RegistryStoreTest.cpp)
target_link_libraries(vexal_registry_tests PRIVATE vexal_core vexal_testhost gtest_main)

# The plug-in's output for comparison with the Linux build's (the lane builds
# the same source natively; see scripts/ci-lanes.sh wine).
add_executable(vexal_output_dump windows/OutputDump.cpp)
target_include_directories(vexal_output_dump PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR}/windows/include)

# The engine benchmark through the DLL (bench/compare), for the ratio of its
# speed under Wine to the Linux plug-in's on the same machine.
add_executable(vexal_compare ${CMAKE_SOURCE_DIR}/bench/compare/compare.cpp)
target_link_libraries(vexal_compare PRIVATE vexal_testhost vexal_core)

# The editor's window in a host window of the test's own, driven with SendInput
# (the Wine lane runs it on Xvfb).
add_executable(vexal_editor_window_tests windows/EditorWindowTest.cpp)
target_link_libraries(vexal_editor_window_tests PRIVATE vexal_testhost gtest_main user32 gdi32)
