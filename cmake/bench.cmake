# Benchmarks of how long the plug-in holds the shell's thread, built only on
# request (-DCHROMALET_BENCH=ON, with -DCMAKE_BUILD_TYPE=Release). Needs
# Google Benchmark (Debian: libbenchmark-dev). tools/bench.sh builds and runs them.
# The sanitized build builds them too, to run their code paths as a test.
option(CHROMALET_BENCH "Build the benchmarks in bench/" OFF)
if(NOT CHROMALET_BENCH AND NOT CHROMALET_SANITIZE)
  return()
endif()

if(CHROMALET_BENCH)
  find_package(benchmark REQUIRED)
else()
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    message(STATUS "Google Benchmark not found: the benchmarks' sanitized run is left out")
    return()
  endif()
endif()
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
# The plain conversion, to time beside the fast one.
add_executable(chromalet_bench ${BENCH_SOURCES} ${CMAKE_SOURCE_DIR}/tests/lifx/colour_reference.cpp)
target_link_libraries(chromalet_bench PRIVATE chromalet_core testhost emulator benchmark::benchmark)

# Time until a lossy bulb shows a change: the plug-in beside the peer library.
add_executable(chromalet_settle ${CMAKE_SOURCE_DIR}/bench/settle/settle_main.cpp)
target_link_libraries(chromalet_settle PRIVATE chromalet_core testhost emulator)

# Under the sanitizers, every benchmark but the search (which sends to a whole
# /22 of loopback, where other tests' lights may be listening) a few times, in
# random order: no figure is looked at, only that nothing fails or crashes.
if(CHROMALET_SANITIZE)
  add_test(NAME bench_paths
           COMMAND chromalet_bench --benchmark_filter=-DiscoveryLongestStep
                   --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true
                   --benchmark_min_time=0.005)
endif()
