// Stack realignment for the entry points of the SSE2 stages.
#pragma once

// A host may call us with a 4-byte aligned stack on 32-bit Windows, while the SSE2 sweeps spill 16-byte values.
#if defined(__SSE2__) && defined(_WIN32) && defined(__i386__)
#define TAVELMIR_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define TAVELMIR_ALIGN_STACK
#endif
