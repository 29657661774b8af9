// The two C library routines that the compiler may call on its own, for a program without a C runtime.
#include <cstddef>

// Kept out of line and never turned back into calls to themselves.
extern "C" __attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memset(void* destination, int value,
                                                                                         size_t count)
{
    unsigned char* d = static_cast<unsigned char*>(destination);
    while (count-- > 0)
        *d++ = static_cast<unsigned char>(value);
    return destination;
}

extern "C" __attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memcpy(void* destination,
                                                                                         const void* source,
                                                                                         size_t count)
{
    unsigned char* d = static_cast<unsigned char*>(destination);
    const unsigned char* s = static_cast<const unsigned char*>(source);
    while (count-- > 0)
        *d++ = *s++;
    return destination;
}
