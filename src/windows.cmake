# The Windows platform layer (platform/windows) and the toolkit's drawing on
# our own image buffers with GDI+ for PNG and text (gui/windows); the DLL
# with exactly the exports of vst/exports.def is made by CMakeLists.txt.
file(GLOB VEXAL_PLATFORM_SOURCES CONFIGURE_DEPENDS platform/*.cpp platform/windows/*.cpp)
add_library(vexal_platform STATIC ${VEXAL_PLATFORM_SOURCES})
target_link_libraries(vexal_platform PUBLIC Threads::Threads advapi32 shell32 comdlg32 user32 gdi32)

file(GLOB VEXAL_GUI_SOURCES CONFIGURE_DEPENDS gui/*.cpp gui/windows/*.cpp)
list(FILTER VEXAL_GUI_SOURCES EXCLUDE REGEX "/gui/(CDrawContext|CBitmap|PngBitmaps)\\.cpp$")
add_library(vexal_gui STATIC ${VEXAL_GUI_SOURCES})
# gui/windows first: its cairo.h stands in for the few image-surface calls.
target_include_directories(vexal_gui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/gui/windows)
target_link_libraries(vexal_gui PUBLIC vexal_platform gdiplus ole32 shlwapi)
