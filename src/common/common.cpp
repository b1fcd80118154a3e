// Checked allocation, the shared string pool and growable arrays.
#include "common/common.h"

#include "platform/log.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_set>

struct CommonState {
    void (*close_audio)();                       // registered by the audio layer, or null
    void (*close_window)();                      // registered by the window layer, or null
    std::unordered_set<std::string_view> *pool;  // views of the interned copies
};

static CommonState g_common;

// The one way the program ends when memory runs out: nothing is left to free, so close
// what holds the display and the sound device, tell the player and leave.
[[noreturn]] static void out_of_memory() {
    if (g_common.close_audio)
        g_common.close_audio();
    if (g_common.close_window)
        g_common.close_window();
    message_box("Error", "Out of virtual memory");
    exit(1);
}

void xmalloc_set_shutdown_hooks(void (*close_audio)(), void (*close_window)()) {
    g_common.close_audio = close_audio;
    g_common.close_window = close_window;
}

void *xmalloc(size_t size) {
    void *block = malloc(size ? size : 1);
    if (!block)
        out_of_memory();
    return block;
}

void *xrealloc(void *block, size_t size) {
    void *grown = realloc(block, size ? size : 1);
    if (!grown)
        out_of_memory();
    return grown;
}

void *xcalloc(size_t count, size_t size) {
    void *block = calloc(count ? count : 1, size ? size : 1);
    if (!block)
        out_of_memory();
    return block;
}

char *xstrdup(const char *text) {
    size_t length = strlen(text) + 1;
    return static_cast<char *>(memcpy(xmalloc(length), text, length));
}

const char *intern_string(const char *text) {
    if (!g_common.pool)
        g_common.pool = new std::unordered_set<std::string_view>();
    auto found = g_common.pool->find(text);
    if (found != g_common.pool->end())
        return found->data();
    const char *copy = xstrdup(text);
    g_common.pool->insert(copy);
    return copy;
}

void array_init(Array *array, int elem_size) {
    array->data = nullptr;
    array->elem_size = elem_size;
    array->count = 0;
    array->capacity = 0;
}

void *array_push(Array *array, const void *elem) {
    if (array->count == array->capacity) {
        array->capacity = array->capacity ? array->capacity * 2 : 16;
        array->data = xrealloc(array->data, size_t(array->capacity) * size_t(array->elem_size));
    }
    void *slot = static_cast<char *>(array->data) + size_t(array->count) * size_t(array->elem_size);
    if (elem)
        memcpy(slot, elem, size_t(array->elem_size));
    else
        memset(slot, 0, size_t(array->elem_size));
    array->count++;
    return slot;
}

void *array_at(const Array *array, int i) {
    assert(i >= 0 && i < array->count);
    return static_cast<char *>(array->data) + size_t(i) * size_t(array->elem_size);
}

void array_shrink(Array *array) {
    if (array->count == array->capacity)
        return;
    if (array->count == 0) {
        free(array->data);
        array->data = nullptr;
    } else {
        array->data = xrealloc(array->data, size_t(array->count) * size_t(array->elem_size));
    }
    array->capacity = array->count;
}

void array_free(Array *array) {
    free(array->data);
    array->data = nullptr;
    array->count = 0;
    array->capacity = 0;
}
