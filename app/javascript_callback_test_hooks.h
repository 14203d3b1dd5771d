// Reaches into the callback registry for tests, benchmarks and fuzzers
// only; the system itself never includes this header.
#ifndef QUILLMOSS_APP_JAVASCRIPT_CALLBACK_TEST_HOOKS_H_
#define QUILLMOSS_APP_JAVASCRIPT_CALLBACK_TEST_HOOKS_H_

#include <cstddef>
#include <vector>

namespace quillmoss {

// Empties the registry and its frame index and sets the last id to 0.
void ResetJavascriptCallbacksForTesting();
// Lets tests reach the id counter's wrap-around without two billion stores.
void SetLastJavascriptCallbackIdForTesting(int id);
// The last callback id issued; 0 before the first.
int GetLastJavascriptCallbackIdForTesting();

size_t CountJavascriptCallbacksForTesting();
bool HasJavascriptCallbackForTesting(int callback_id);
// The stored ids, ascending.
std::vector<int> GetJavascriptCallbackIdsForTesting();
// True when the frame index lists exactly the stored ids, each under the
// identifier of the frame it was stored with.
bool IsFrameIndexInStepForTesting();

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_JAVASCRIPT_CALLBACK_TEST_HOOKS_H_
