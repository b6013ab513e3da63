# How much CPU the Initialization's waits cost: nine writers through a real
# 30-second quiet phase (run by hand, not part of ctest):
#   init_cpu_bench [--unplugged K]
add_executable(init_cpu_bench ${CMAKE_SOURCE_DIR}/tests/bench/init_cpu_bench.cpp)
target_link_libraries(init_cpu_bench PRIVATE kesto_core kesto_sim)
