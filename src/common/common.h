// Shared helpers every subsystem uses: checked allocation, the string pool and growable
// arrays. The other shared helpers have headers of their own (console.h, ripemd160.h,
// mt19937.h, vec.h).
#pragma once

#include <cstddef>
#include <cstdint>

// Allocates size bytes or ends the program: closes audio and window when open, shows
// "Out of virtual memory" in a box titled "Error" and exits with status 1. Never returns null.
void *xmalloc(size_t size);
// Grows or shrinks a block allocated by xmalloc; same failure rule.
void *xrealloc(void *block, size_t size);
// Zeroed allocation with the same failure rule.
void *xcalloc(size_t count, size_t size);
// Duplicates a string with the same failure rule.
char *xstrdup(const char *text);

// Hooks the window and audio layers register so that xmalloc can close them before exiting.
// Either may be null (nothing open).
void xmalloc_set_shutdown_hooks(void (*close_audio)(), void (*close_window)());

// The program's pool of shared, never freed string copies: equal texts share one copy.
const char *intern_string(const char *text);

// A growable array of plain records: capacity starts at 16 and doubles when full; lists
// built once are shrunk to their count with array_shrink. Element addresses move when the
// array grows; indices stay stable.
struct Array {
    void *data;       // count * elem_size bytes in use, capacity * elem_size allocated
    int elem_size;    // bytes per element
    int count;        // elements in use
    int capacity;     // elements allocated
};

void array_init(Array *array, int elem_size);
// Appends one element (copied from elem, or zeroed when elem is null); returns its address.
void *array_push(Array *array, const void *elem);
// Address of element i (no bounds check beyond an assertion in debug builds).
void *array_at(const Array *array, int i);
void array_shrink(Array *array);
void array_free(Array *array);

template <typename T>
inline T *array_get(const Array *array, int i) { return static_cast<T *>(array_at(array, i)); }
