# The denormal benchmark: processReplacing with and without denormal numbers, with and without
# the DenormalGuard. Its own executable, since it links the whole plug-in and has its own main.
add_executable(quorvel_bench_denormal ${CMAKE_CURRENT_LIST_DIR}/DenormalBench.cpp)
target_link_libraries(quorvel_bench_denormal PRIVATE quorvel_plugin quorvel_platform_offscreen benchmark::benchmark)
