# Coverage-guided fuzzing with libFuzzer, in a build folder of its own:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCHROMALET_FUZZ=ON
#   ninja -C build-fuzz fuzz
# tools/fuzz.sh does both and runs every target.
option(CHROMALET_FUZZ "Build the libFuzzer targets of tests/fuzz (clang only)" OFF)
if(NOT CHROMALET_FUZZ OR WIN32)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "CHROMALET_FUZZ needs clang: configure with CC=clang CXX=clang++")
endif()

set(FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all)
# The code under test is instrumented for coverage; whatever links it links
# the sanitizers' runtime too.
foreach(library chromalet_core testhost platform_linux emulator)
  target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_SANITIZERS}
                                            -fno-omit-frame-pointer)
  target_link_options(${library} INTERFACE ${FUZZ_SANITIZERS})
endforeach()

set(FUZZ_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz)
add_custom_target(fuzz)
foreach(name command settings style datagram discovery delivery)
  set(target fuzz_${name})
  add_executable(${target} ${FUZZ_DIR}/${target}.cpp ${FUZZ_DIR}/fuzz_support.cpp)
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS}
                                           -fno-omit-frame-pointer)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZERS})
  target_link_libraries(${target} PRIVATE chromalet_core testhost emulator platform_linux)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  add_dependencies(fuzz ${target})
endforeach()
