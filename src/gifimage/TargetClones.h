// QUORVANE_DISTANCE_CLONES: compile a function twice, for AVX2 and for the baseline
// instruction set, and pick the copy where the program is loaded. For the per-pixel loops and
// the palette searches, whose integer results are the same in both copies.
#pragma once

// The copy is picked by an ifunc resolver while the program is loaded, before
// ThreadSanitizer's runtime has started, and an instrumented resolver crashes there: a
// ThreadSanitizer build keeps the one plain version (both give the same results).
#if defined(__SANITIZE_THREAD__)
#define QUORVANE_DISTANCE_CLONES
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUORVANE_DISTANCE_CLONES
#endif
#endif
#ifndef QUORVANE_DISTANCE_CLONES
#define QUORVANE_DISTANCE_CLONES __attribute__((target_clones("avx2", "default")))
#endif

// For what a cloned function calls per pixel: inlined, it is compiled for the clone's
// instruction set; called, it runs the baseline copy.
#define QUORVANE_INLINE_INTO_CLONES inline __attribute__((always_inline))
