# chromalet-preview: the plug-in in the stand-in host driving emulated lights,
# shown live in a terminal (tools/preview.sh runs it), and its tests.
file(GLOB PREVIEW_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/preview/*.cpp)
list(FILTER PREVIEW_SOURCES EXCLUDE REGEX ".*/main\\.cpp$")
add_library(preview_core STATIC ${PREVIEW_SOURCES})
target_link_libraries(preview_core PUBLIC emulator)

add_executable(chromalet-preview ${CMAKE_SOURCE_DIR}/tools/preview/main.cpp)
target_compile_definitions(chromalet-preview PRIVATE CHROMALET_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(chromalet-preview PRIVATE preview_core)
# It runs the host program and the plug-in built beside it.
add_dependencies(chromalet-preview vesk-host chromalet_plugin)

file(GLOB PREVIEW_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/preview/tests/*.cpp)
add_executable(preview_tests ${PREVIEW_TEST_SOURCES})
target_compile_definitions(
  preview_tests PRIVATE PREVIEW_PROGRAM="$<TARGET_FILE:chromalet-preview>"
                        HOST_PROGRAM="$<TARGET_FILE:vesk-host>"
                        PREVIEW_WORK_DIR="${CMAKE_CURRENT_BINARY_DIR}/preview-tests")
target_link_libraries(preview_tests PRIVATE preview_core util GTest::gtest GTest::gtest_main)
add_dependencies(preview_tests chromalet-preview)
gtest_discover_tests(preview_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 180 LABELS preview)

# The guide's pictures of the schemes are committed; a change to what the
# preview draws leaves them stale, and ./run pictures redraws them.
add_test(NAME SchemePicturesAreWhatThePreviewDraws
         COMMAND ${CMAKE_SOURCE_DIR}/tools/scheme_pictures.sh --check ${CMAKE_BINARY_DIR}
                 ${CMAKE_SOURCE_DIR}/docs/schemes)
set_tests_properties(SchemePicturesAreWhatThePreviewDraws PROPERTIES TIMEOUT 180 LABELS preview)
