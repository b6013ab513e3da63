# Benchmarks: programs that measure, run by hand (not part of ctest).
add_executable(relist_bench ${CMAKE_SOURCE_DIR}/tests/bench/relist_bench.cpp)
target_link_libraries(relist_bench PRIVATE kesto kesto_sim)
# Config Save to ten emulated writers against one: build/config_save_bench.
add_executable(config_save_bench ${CMAKE_SOURCE_DIR}/tests/bench/config_save_bench.cpp)
target_link_libraries(config_save_bench PRIVATE kesto_core kesto_sim)
# Memory of the main window over 1,000 plug/unplug cycles: build/plug_cycle_bench.
add_executable(plug_cycle_bench ${CMAKE_SOURCE_DIR}/tests/bench/plug_cycle_bench.cpp)
target_link_libraries(plug_cycle_bench PRIVATE kesto kesto_sim)
