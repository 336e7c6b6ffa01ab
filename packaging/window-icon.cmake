# The window's icon: the same pictures the desktop entry installs, compiled into the window
# library. Included from app/CMakeLists.txt after tesvaron_window is defined. PNGs rather than
# the SVG, so that no image plugin is needed at run time.
set(window_icon_sizes 16 24 32 48 64 128)
set(window_icon_files)
foreach(side IN LISTS window_icon_sizes)
    list(APPEND window_icon_files
        ${CMAKE_SOURCE_DIR}/packaging/icons/hicolor/${side}x${side}/apps/tesvaron.png)
endforeach()
qt_add_resources(tesvaron_window tesvaron_window_icon
    PREFIX /tesvaron
    BASE ${CMAKE_SOURCE_DIR}/packaging/icons/hicolor
    FILES ${window_icon_files})
