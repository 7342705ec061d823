# The same libraries for Windows: the platform layer of platform/windows, the
# toolkit's drawing on our own image buffers with GDI+ for PNG and text
# (gui/windows), and the DLL with exactly the exports of vst/exports.def.
add_library(vexal_vst STATIC vst/AudioEffect.cpp vst/AudioEffectX.cpp vst/HostCallQueue.cpp)
target_include_directories(vexal_vst PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

file(GLOB VEXAL_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/*.cpp platform/windows/*.cpp)
add_library(vexal_platform STATIC ${VEXAL_PLATFORM_SOURCES})
target_include_directories(vexal_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vexal_platform PUBLIC Threads::Threads advapi32 shell32 comdlg32 user32 gdi32)

file(GLOB VEXAL_GUI_SOURCES CONFIGURE_DEPENDS gui/*.cpp gui/windows/*.cpp)
list(FILTER VEXAL_GUI_SOURCES EXCLUDE REGEX "/gui/(CDrawContext|CBitmap|PngBitmaps)\\.cpp$")
add_library(vexal_gui STATIC ${VEXAL_GUI_SOURCES})
# gui/windows first: its cairo.h stands in for the few image-surface calls.
target_include_directories(vexal_gui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/gui/windows ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vexal_gui PUBLIC vexal_vst vexal_platform gdiplus ole32 shlwapi)

file(GLOB VEXAL_CORE_SOURCES CONFIGURE_DEPENDS
  core/*.cpp engine/*.cpp presets/*.cpp editor/*.cpp)
add_library(vexal_core STATIC ${VEXAL_CORE_SOURCES})
target_include_directories(vexal_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vexal_core PUBLIC vexal_gui Threads::Threads PRIVATE vexal_resources)

add_library(ZVKVexal SHARED vst/entry.cpp vst/exports.def)
target_link_libraries(ZVKVexal PRIVATE vexal_core)
set_target_properties(ZVKVexal PROPERTIES PREFIX "" OUTPUT_NAME "ZVKVexal"
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# Only the .def file's names leave the DLL (no --export-all-symbols).
target_link_options(ZVKVexal PRIVATE -Wl,--exclude-all-symbols -Wl,--no-undefined $<$<CONFIG:Release>:-s>)
