# The Windows program, pyxtern.exe: included by the top-level CMakeLists.txt
# when building for Windows (natively, or across with
# cmake/mingw-w64-x86_64.cmake). It needs the core and our INI engine, which
# reads the settings file by its real path and lets a write replace the file
# in one step; Windows has the code-page conversions itself.
enable_language(RC)

set(PYX_WIN32_DIR ${CMAKE_CURRENT_LIST_DIR})

# The backend, shared by the program and its checks.
add_library(pyxtern_win32 STATIC
  ${PYX_WIN32_DIR}/win32_controls.cpp
  ${PYX_WIN32_DIR}/win32_dialogs.cpp
  ${PYX_WIN32_DIR}/win32_dpi.cpp
  ${PYX_WIN32_DIR}/win32_form_controls.cpp
  ${PYX_WIN32_DIR}/win32_forms.cpp
  ${PYX_WIN32_DIR}/win32_handover.cpp
  ${PYX_WIN32_DIR}/win32_system.cpp
)
target_link_libraries(pyxtern_win32 PUBLIC pyxtern_core pyxtern_ini user32 gdi32 shell32 comdlg32 comctl32 ole32 imm32)
# Every call the user sees goes through the W functions; Windows 7 is the
# oldest system the program is built for (newer calls are looked up at run
# time).
target_compile_definitions(pyxtern_win32 PUBLIC
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)

add_executable(pyxtern WIN32 ${PYX_WIN32_DIR}/main.cpp ${PYX_WIN32_DIR}/pyxtern.rc)
target_link_libraries(pyxtern PRIVATE pyxtern_win32)

# What carries the project's version: the numbers of the version record, the
# help page, and the read-me and licence as a Windows user opens them (UTF-8
# with a byte-order mark, CR LF).
set(PYX_GENERATED ${CMAKE_CURRENT_BINARY_DIR}/generated)
foreach(part MAJOR MINOR PATCH TWEAK)
  if(NOT PROJECT_VERSION_${part})
    set(PROJECT_VERSION_${part} 0)
  endif()
endforeach()
file(CONFIGURE OUTPUT ${PYX_GENERATED}/version.h CONTENT [[
#define PYX_VERSION_NUMBERS @PROJECT_VERSION_MAJOR@,@PROJECT_VERSION_MINOR@,@PROJECT_VERSION_PATCH@,@PROJECT_VERSION_TWEAK@
#define PYX_VERSION_TEXT "@PROJECT_VERSION@"
]] @ONLY)
configure_file(${PYX_WIN32_DIR}/TESMORA_HELP.html.in ${PYX_GENERATED}/TESMORA_HELP.html @ONLY)
string(ASCII 239 187 191 PYX_BYTE_ORDER_MARK)
function(pyx_configure_windows_text source output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  file(CONFIGURE OUTPUT ${output} CONTENT "${PYX_BYTE_ORDER_MARK}${text}" @ONLY NEWLINE_STYLE CRLF)
endfunction()
pyx_configure_windows_text(${PYX_WIN32_DIR}/README.txt.in ${PYX_GENERATED}/README.txt)
pyx_configure_windows_text(${CMAKE_SOURCE_DIR}/LICENSE ${PYX_GENERATED}/LICENSE.txt)

# The help page goes beside the program, where ヘルプ looks for it (copied
# again whenever it changes).
set_property(TARGET pyxtern APPEND PROPERTY LINK_DEPENDS ${PYX_GENERATED}/TESMORA_HELP.html)
add_custom_command(TARGET pyxtern POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${PYX_GENERATED}/TESMORA_HELP.html $<TARGET_FILE_DIR:pyxtern>
  VERBATIM)

# Checks of the backend against Windows itself; run under Wine with a
# Japanese locale: wine pyxtern_win32_test.exe
add_executable(pyxtern_win32_test ${PYX_WIN32_DIR}/../../tests/win32/win32_platform_test.cpp ${PYX_WIN32_DIR}/pyxtern.rc)
target_link_libraries(pyxtern_win32_test PRIVATE pyxtern_win32)
# The DLL the checks find beside themselves, as anyone could plant it there.
add_library(pyxtern_planted SHARED ${PYX_WIN32_DIR}/../../tests/win32/planted_dll.cpp)
set_target_properties(pyxtern_planted PROPERTIES PREFIX "")
add_dependencies(pyxtern_win32_test pyxtern_planted)

# The resource script finds its icon and manifest beside it and its version
# numbers among the generated files, and is compiled again when any changes.
set_source_files_properties(${PYX_WIN32_DIR}/pyxtern.rc PROPERTIES
  INCLUDE_DIRECTORIES "${PYX_WIN32_DIR};${PYX_GENERATED}"
  OBJECT_DEPENDS "${PYX_WIN32_DIR}/pyxtern.ico;${PYX_WIN32_DIR}/pyxtern.manifest;${PYX_WIN32_DIR}/resource.h;${PYX_GENERATED}/version.h")

if(MINGW)
  # Unicode entry points (wWinMain, wmain); self-contained files with no
  # runtime DLLs to ship beside them; the program stripped and small. Aware of
  # Remote Desktop, where Windows would otherwise give it a per-user Windows
  # folder, and the file browser would not start from there.
  foreach(target pyxtern pyxtern_win32_test)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode>)
    target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++ -Wl,--gc-sections
                        -Wl,--tsaware -fstack-protector-strong $<$<NOT:$<CONFIG:Debug>>:-s>)
  endforeach()
  foreach(target pyxtern pyxtern_win32 pyxtern_core)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:$<$<NOT:$<CONFIG:Debug>>:-Os> -ffunction-sections
                                             -fdata-sections>)
  endforeach()
  # An overrun stack buffer, or a copy past the end of a buffer of known size,
  # ends the program rather than steering it; the library of these checks
  # (libssp) is linked in statically, as above.
  foreach(target pyxtern pyxtern_win32 pyxtern_core pyxtern_ini pyxtern_win32_test)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fstack-protector-strong -D_FORTIFY_SOURCE=2>)
  endforeach()
elseif(MSVC)
  # The sources are UTF-8; the manifest comes from pyxtern.rc, not the linker.
  foreach(target pyxtern pyxtern_win32 pyxtern_win32_test pyxtern_core)
    set_property(TARGET ${target} PROPERTY MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:/utf-8 $<$<NOT:$<CONFIG:Debug>>:/O1>>)
  endforeach()
  foreach(target pyxtern pyxtern_win32_test)
    target_link_options(${target} PRIVATE /MANIFEST:NO $<$<NOT:$<CONFIG:Debug>>:/OPT:REF /OPT:ICF>)
  endforeach()
endif()

# The release a user downloads (./package, or cpack in the build folder): one
# ZIP of the program, its help page, the read-me and the licence, unpacked
# into any folder. No favourites or settings file: the program makes them.
install(TARGETS pyxtern RUNTIME DESTINATION .)
install(FILES ${PYX_GENERATED}/TESMORA_HELP.html ${PYX_GENERATED}/README.txt ${PYX_GENERATED}/LICENSE.txt
        DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_PACKAGE_FILE_NAME pyxtern-${PROJECT_VERSION}-win64)
else()
  set(CPACK_PACKAGE_FILE_NAME pyxtern-${PROJECT_VERSION}-win32)
endif()
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/package)
include(CPack)
