# Benchmarks: programs that measure, run by hand (not part of ctest).
add_executable(relist_bench ${CMAKE_SOURCE_DIR}/tests/bench/relist_bench.cpp)
target_link_libraries(relist_bench PRIVATE kesto kesto_sim)
