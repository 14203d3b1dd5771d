// An ordered list of strings behind an opaque handle (src/cef_string_c_api.cc).
#ifndef CEF_INCLUDE_INTERNAL_CEF_STRING_LIST_H_
#define CEF_INCLUDE_INTERNAL_CEF_STRING_LIST_H_

#include "include/internal/cef_string.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void* cef_string_list_t;

// A new empty list; free it with cef_string_list_free().
cef_string_list_t cef_string_list_alloc();

size_t cef_string_list_size(cef_string_list_t list);

// Copies the entry at |index| into |value|; 0 when there is none.
int cef_string_list_value(cef_string_list_t list,
                          size_t index,
                          cef_string_t* value);

// Adds a copy of |value| at the end (an empty string for null).
void cef_string_list_append(cef_string_list_t list, const cef_string_t* value);

void cef_string_list_clear(cef_string_list_t list);

void cef_string_list_free(cef_string_list_t list);

// A new list holding copies of |list|'s entries.
cef_string_list_t cef_string_list_copy(cef_string_list_t list);

#ifdef __cplusplus
}
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_STRING_LIST_H_
