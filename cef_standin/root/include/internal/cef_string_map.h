// Key/value string pairs, one value per key, behind an opaque handle
// (src/cef_string_c_api.cc).
#ifndef CEF_INCLUDE_INTERNAL_CEF_STRING_MAP_H_
#define CEF_INCLUDE_INTERNAL_CEF_STRING_MAP_H_

#include "include/internal/cef_string.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void* cef_string_map_t;

// A new empty map; free it with cef_string_map_free().
cef_string_map_t cef_string_map_alloc();

size_t cef_string_map_size(cef_string_map_t map);

// Copies the value of |key| into |value|; 0 when the key is absent.
int cef_string_map_find(cef_string_map_t map,
                        const cef_string_t* key,
                        cef_string_t* value);

// The key or value of the pair at zero-based |index|; 0 when there is none.
int cef_string_map_key(cef_string_map_t map, size_t index, cef_string_t* key);
int cef_string_map_value(cef_string_map_t map,
                         size_t index,
                         cef_string_t* value);

// Adds a pair; a key already present keeps its value.
int cef_string_map_append(cef_string_map_t map,
                          const cef_string_t* key,
                          const cef_string_t* value);

void cef_string_map_clear(cef_string_map_t map);

void cef_string_map_free(cef_string_map_t map);

#ifdef __cplusplus
}
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_STRING_MAP_H_
