# The native Linux build: the plug-in over a stand-in platform layer, the
# stand-in host, the light emulator, the tests and the tools.

find_package(GTest REQUIRED)
include(GoogleTest)
enable_testing()

# Every program and the plug-in module send through these wrappers, which
# refuse any destination outside 127.0.0.0/8 and let tests inject faults.
set(NET_WRAP_OPTIONS
  LINKER:--wrap=socket LINKER:--wrap=connect LINKER:--wrap=send LINKER:--wrap=sendto)

file(GLOB PLATFORM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/*_linux.cpp)
add_library(platform_linux STATIC ${PLATFORM_SOURCES})
target_link_options(platform_linux INTERFACE ${NET_WRAP_OPTIONS})
target_link_libraries(platform_linux PUBLIC dl)

file(GLOB TESTHOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/testhost/*.cpp)
list(FILTER TESTHOST_SOURCES EXCLUDE REGEX ".*/main\\.cpp$")
# The host program's own system side is not part of the library.
list(FILTER TESTHOST_SOURCES EXCLUDE REGEX ".*/program_[a-z]+\\.cpp$")
add_library(testhost STATIC ${TESTHOST_SOURCES})
target_link_libraries(testhost PUBLIC platform_linux)

# The plug-in's code, linked straight into the unit tests.
add_library(chromalet_core STATIC ${PLUGIN_SOURCES})
target_link_libraries(chromalet_core PUBLIC platform_linux)

file(GLOB EMULATOR_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/emulator/*.cpp)
list(FILTER EMULATOR_SOURCES EXCLUDE REGEX ".*/main\\.cpp$")
if(EMULATOR_SOURCES)
  add_library(emulator STATIC ${EMULATOR_SOURCES})
  target_link_libraries(emulator PUBLIC platform_linux)
endif()

# The plug-in as the host program loads it: a shared object whose host
# functions, platform calls and socket wrappers all resolve, when it is
# loaded, from the program that loads it, as the DLL's come from "Vesk.exe".
add_library(chromalet_plugin SHARED ${PLUGIN_SOURCES})
set_target_properties(chromalet_plugin PROPERTIES PREFIX "" OUTPUT_NAME "Chromalet-LIFX")
target_link_options(chromalet_plugin PRIVATE ${NET_WRAP_OPTIONS})

# The stand-in host as a program. Its sources are compiled in whole (not taken
# from the libraries, which would leave out what it does not call itself) and
# exported, so the plug-in finds every host function and platform call.
add_executable(vesk-host ${CMAKE_SOURCE_DIR}/testhost/main.cpp
                         ${CMAKE_SOURCE_DIR}/testhost/program_linux.cpp ${TESTHOST_SOURCES}
                         ${PLATFORM_SOURCES})
set_target_properties(vesk-host PROPERTIES ENABLE_EXPORTS ON)
target_link_options(vesk-host PRIVATE ${NET_WRAP_OPTIONS})
target_link_libraries(vesk-host PRIVATE dl)
add_dependencies(vesk-host chromalet_plugin)

if(TARGET emulator)
  add_executable(lifx-emulator ${CMAKE_SOURCE_DIR}/emulator/main.cpp)
  target_link_libraries(lifx-emulator PRIVATE emulator)
  include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake)
endif()

add_subdirectory(tests)
include(${CMAKE_SOURCE_DIR}/cmake/bench.cmake)

# The preview (tools/preview.sh) and its tests.
if(TARGET emulator)
  include(${CMAKE_SOURCE_DIR}/cmake/preview.cmake)
endif()
