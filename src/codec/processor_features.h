// What the processor offers the checksums' vector code, asked once.
#ifndef UPDATE_PROCESSOR_FEATURES_H
#define UPDATE_PROCESSOR_FEATURES_H

// The one test for an x86 processor (32- or 64-bit): vector code and the
// processor's own answers exist only there.
#if defined(__i386__) || defined(__x86_64__)
#define PROCESSOR_X86 1
#endif

enum ProcessorFeature {
    FeatureSsse3,         // SSSE3
    FeatureShaExtensions  // the SHA instructions, with the SSSE3 and SSE4.1 they are used with
};

// Whether this processor has it; never off x86.
bool ProcessorHas(ProcessorFeature feature);

// A function compiled for those instructions (a comma-separated target list),
// called only where ProcessorHas says so. On i686 it realigns the stack on
// entry: a 32-bit caller's stack may be aligned to 4 bytes only, and vectors
// that spill need 16.
#if defined(__i386__)
#define VECTOR_FUNCTION(targets) __attribute__((target(targets), force_align_arg_pointer))
#else
#define VECTOR_FUNCTION(targets) __attribute__((target(targets)))
#endif

#endif
