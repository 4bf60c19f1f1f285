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

add_subdirectory(tests)
