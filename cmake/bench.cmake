# Benchmarks of how long the plug-in holds the shell's thread, built only on
# request (-DCHROMALET_BENCH=ON, with -DCMAKE_BUILD_TYPE=Release). Needs
# Google Benchmark (Debian: libbenchmark-dev). tools/bench.sh builds and runs them.
option(CHROMALET_BENCH "Build the benchmarks in bench/" OFF)
if(NOT CHROMALET_BENCH)
  return()
endif()

find_package(benchmark REQUIRED)
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
# The plain conversion, to time beside the fast one.
add_executable(chromalet_bench ${BENCH_SOURCES} ${CMAKE_SOURCE_DIR}/tests/lifx/colour_reference.cpp)
target_link_libraries(chromalet_bench PRIVATE chromalet_core testhost emulator benchmark::benchmark)

# Time until a lossy bulb shows a change: the plug-in beside the peer library.
add_executable(chromalet_settle ${CMAKE_SOURCE_DIR}/bench/settle/settle_main.cpp)
target_link_libraries(chromalet_settle PRIVATE chromalet_core testhost emulator)
