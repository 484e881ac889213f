// Whether the effect's stages use SSE2, and stack realignment for their entry points.
#pragma once

// SSE2 wherever the processor has it; TAVELMIR_PORTABLE builds the plain loops that any other processor runs,
// so that they stay tested.
#if defined(__SSE2__) && !defined(TAVELMIR_PORTABLE)
#define TAVELMIR_SSE2 1
#else
#define TAVELMIR_SSE2 0
#endif

// A host may call us with a 4-byte aligned stack on 32-bit Windows, while the SSE2 sweeps spill 16-byte values.
#if TAVELMIR_SSE2 && defined(_WIN32) && defined(__i386__)
#define TAVELMIR_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define TAVELMIR_ALIGN_STACK
#endif
