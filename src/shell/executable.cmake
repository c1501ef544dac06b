# update.exe: entry point, main window, message loop and resources.

# Everything of the window but WinMain, so that the Windows-side tests can build
# the real main window in their own process.
add_library(update_window STATIC main_window.cpp control_objects.cpp system_libraries.cpp progress_window.cpp)
target_compile_options(update_window PRIVATE -fno-rtti)
# No import of COMCTL32: it would be loaded before WinMain restricts where
# libraries come from; it is loaded at run time instead.
target_link_libraries(update_window PUBLIC update_core update_controls platform_win32)

add_executable(update WIN32 entry.cpp runtime_imports.cpp ${PROJECT_SOURCE_DIR}/res/update.rc)
target_compile_options(update PRIVATE -fno-rtti)
target_link_libraries(update PRIVATE update_window)
target_link_options(update PRIVATE -municode)
# The release program is shipped stripped.
target_link_options(update PRIVATE $<$<CONFIG:MinSizeRel>:-s>)
set_property(SOURCE ${PROJECT_SOURCE_DIR}/res/update.rc APPEND PROPERTY OBJECT_DEPENDS
             ${PROJECT_SOURCE_DIR}/res/update.ico ${PROJECT_SOURCE_DIR}/res/update.manifest)

# 32-bit code carries DWARF unwind tables that only exceptions and debuggers
# read; the program has neither, and they would take a sixth of the file.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  foreach(target update_core update_codec platform_win32 windows_text update_controls update_window update)
    target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables -fomit-frame-pointer)
  endforeach()
  # The runtime's objects bring tables of their own (2.6 KB): see the script.
  target_link_options(update PRIVATE -Wl,-T,${CMAKE_CURRENT_SOURCE_DIR}/runtime_unwind_tables.ld)
  set_property(TARGET update APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/runtime_unwind_tables.ld)
endif()
