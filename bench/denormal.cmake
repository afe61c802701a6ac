# The denormal benchmark: processReplacing with and without denormal numbers, with and without
# the DenormalGuard. Its own executable, since it has its own main.
add_executable(quorvel_bench_denormal ${CMAKE_CURRENT_LIST_DIR}/DenormalBench.cpp)
target_link_libraries(quorvel_bench_denormal PRIVATE quorvel_core benchmark::benchmark)
