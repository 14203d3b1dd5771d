// Key/value string pairs where a key may have several values, behind an
// opaque handle (src/cef_string_c_api.cc).
#ifndef CEF_INCLUDE_INTERNAL_CEF_STRING_MULTIMAP_H_
#define CEF_INCLUDE_INTERNAL_CEF_STRING_MULTIMAP_H_

#include "include/internal/cef_string.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void* cef_string_multimap_t;

// A new empty multimap; free it with cef_string_multimap_free().
cef_string_multimap_t cef_string_multimap_alloc();

// All pairs, every value of every key counted.
size_t cef_string_multimap_size(cef_string_multimap_t map);

// How many values |key| has.
size_t cef_string_multimap_find_count(cef_string_multimap_t map,
                                      const cef_string_t* key);

// Copies the |value_index|-th value of |key| into |value|; 0 when there is
// none.
int cef_string_multimap_enumerate(cef_string_multimap_t map,
                                  const cef_string_t* key,
                                  size_t value_index,
                                  cef_string_t* value);

// The key or value of the pair at zero-based |index|; 0 when there is none.
int cef_string_multimap_key(cef_string_multimap_t map,
                            size_t index,
                            cef_string_t* key);
int cef_string_multimap_value(cef_string_multimap_t map,
                              size_t index,
                              cef_string_t* value);

// Adds a pair, after the values |key| already has.
int cef_string_multimap_append(cef_string_multimap_t map,
                               const cef_string_t* key,
                               const cef_string_t* value);

void cef_string_multimap_clear(cef_string_multimap_t map);

void cef_string_multimap_free(cef_string_multimap_t map);

#ifdef __cplusplus
}
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_STRING_MULTIMAP_H_
