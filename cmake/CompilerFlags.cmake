# Flags every build shares. Floating point must give the same bits on every target:
# no fused multiply-add contraction anywhere, no fast-math, and SSE2 (not x87) on 32-bit x86.
add_compile_options(-Wall -Wextra -ffp-contract=off -fno-fast-math)
if(QUORVEL_WARNINGS_AS_ERRORS)
    add_compile_options(-Werror)
endif()

if(CMAKE_SYSTEM_PROCESSOR MATCHES "i686|i386|x86$")
    # Hosts built with other compilers may call in with a stack aligned to 4 bytes only.
    add_compile_options(-msse2 -mfpmath=sse -mstackrealign)
endif()

if(WIN32)
    # The DLL imports system DLLs only: the compiler's runtime is linked in.
    add_link_options(-static-libgcc -static-libstdc++ -static)
endif()

# Reproducible binaries: no build paths (the trees are named relative to themselves in
# __FILE__ and debug information) and, in the DLLs, no link time stamp in the PE header.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
if(WIN32)
    add_link_options(-Wl,--no-insert-timestamp)
else()
    # Symbols bound at load, not on first call (from the audio thread, under the dynamic
    # loader's lock), and the relocated data read-only after.
    add_link_options(-Wl,-z,relro,-z,now)
endif()

# The files of the AVX2 level (chosen at run time) are built with these; no FMA, which would round
# differently from the other levels. On Windows the assembler turns aligned vector moves into
# unaligned ones: the compiler cannot always align 32-byte stack slots there.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i686|i386|x86)$")
    set(quorvel_avx2_options -mavx2 -mno-fma)
    if(WIN32)
        list(APPEND quorvel_avx2_options -Wa,-muse-unaligned-vector-move)
    endif()
endif()
