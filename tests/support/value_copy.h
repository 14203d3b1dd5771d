// Entry copies for the tests, benchmarks and fuzzers; the stand-in, like
// CEF 81's wrapper as the system uses it, has no CefValue to go between.
#ifndef QUILLMOSS_TESTS_SUPPORT_VALUE_COPY_H_
#define QUILLMOSS_TESTS_SUPPORT_VALUE_COPY_H_

#include <cstddef>

#include "include/cef_values.h"

namespace testing_support {

// Copies entry |key| of |from| to the same key of |to|. Containers and
// binaries are copied, so that |from| keeps its own.
void CopyDictionaryEntry(CefRefPtr<CefDictionaryValue> from,
                         const CefString& key,
                         CefRefPtr<CefDictionaryValue> to);

// Appends entry |index| of |from| to the end of |to|, copied the same way.
void AppendListEntry(CefRefPtr<CefListValue> from,
                     size_t index,
                     CefRefPtr<CefListValue> to);

}  // namespace testing_support

#endif  // QUILLMOSS_TESTS_SUPPORT_VALUE_COPY_H_
