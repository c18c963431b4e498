// Function multi-versioning for the decoder's dot-product kernels.
//
// A function marked VOICE_SIMD_CLONES is compiled twice, for AVX2 and for
// the baseline instruction set, and the loader picks the one the processor
// runs: the library stays portable to any x86-64. The kernels are integer
// code, so both versions compute the same bits. Other compilers and targets
// build the plain version only, as does defining VOICE_NO_SIMD_CLONES (to
// test the baseline version on a machine that has AVX2).
#pragma once

#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(VOICE_NO_SIMD_CLONES)
#define VOICE_SIMD_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VOICE_SIMD_CLONES
#endif
