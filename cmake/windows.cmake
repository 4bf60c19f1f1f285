# The Windows plug-in module, cross-built with MinGW-w64.

# The host's functions come from "Vesk.exe" through an import library made
# from the host's .def file.
set(VESK_IMPORT_LIB ${CMAKE_BINARY_DIR}/libvesk.a)
add_custom_command(
  OUTPUT ${VESK_IMPORT_LIB}
  COMMAND ${CMAKE_DLLTOOL} -d ${CMAKE_SOURCE_DIR}/host/vesk.def -l ${VESK_IMPORT_LIB}
  DEPENDS ${CMAKE_SOURCE_DIR}/host/vesk.def)
add_custom_target(vesk_import DEPENDS ${VESK_IMPORT_LIB})

enable_language(RC)
# ChangeWindowMessageFilterEx and the tray record's full layout need Windows 7.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)

add_library(Chromalet-LIFX SHARED ${PLUGIN_SOURCES} ${CMAKE_SOURCE_DIR}/plugin/dllmain_win.cpp
                                  ${CMAKE_SOURCE_DIR}/plugin/resources.rc)
set_target_properties(Chromalet-LIFX PROPERTIES PREFIX "" OUTPUT_NAME "Chromalet-LIFX")
add_dependencies(Chromalet-LIFX vesk_import)
target_link_libraries(Chromalet-LIFX PRIVATE ${VESK_IMPORT_LIB} ws2_32 wtsapi32 iphlpapi)
target_link_options(Chromalet-LIFX PRIVATE -static -static-libgcc -static-libstdc++)
# The plug-in throws nothing and catches nothing. On 32-bit Windows its
# unwind tables serve C++ exceptions alone (the system unwinds by frame
# chains), so they go too: the shipped DLL stays small.
# Nothing it does is heavy enough to want the speed of -O3 over the size.
target_compile_options(Chromalet-LIFX PRIVATE -fno-exceptions -Os)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  target_compile_options(Chromalet-LIFX PRIVATE -fno-asynchronous-unwind-tables)
endif()

# The stand-in host shell as "Vesk.exe": the same host functions as the Linux
# stand-in, exported from the program, so the DLL's imports from "Vesk.exe"
# resolve to them when the program loads it. Built with the DLL, beside it.
file(GLOB TESTHOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/testhost/*.cpp)
list(FILTER TESTHOST_SOURCES EXCLUDE REGEX ".*/program_linux\\.cpp$")
add_executable(vesk_host_win ${TESTHOST_SOURCES})
set_target_properties(vesk_host_win PROPERTIES OUTPUT_NAME "Vesk" ENABLE_EXPORTS ON)
target_compile_definitions(vesk_host_win PRIVATE VESK_HOST_BUILD)
target_link_libraries(vesk_host_win PRIVATE user32)
target_link_options(vesk_host_win PRIVATE -static -static-libgcc -static-libstdc++)
add_dependencies(vesk_host_win Chromalet-LIFX)

# The encoder's images as the Windows build makes them, compared with the
# Linux build's by ./run test.
add_executable(lifx_images ${CMAKE_SOURCE_DIR}/tests/peer/lifx_images.cpp
                           ${CMAKE_SOURCE_DIR}/lifx/messages.cpp ${CMAKE_SOURCE_DIR}/lifx/colour.cpp
               ${CMAKE_SOURCE_DIR}/lifx/replies.cpp ${CMAKE_SOURCE_DIR}/lifx/zones.cpp)
target_link_options(lifx_images PRIVATE -static)
