// Which frames of a browser the host's bindings go into.
#ifndef QUILLMOSS_APP_FRAME_CHOICE_H_
#define QUILLMOSS_APP_FRAME_CHOICE_H_

#include <vector>

#include "include/cef_browser.h"
#include "include/cef_values.h"

namespace quillmoss {

// By identifier: every frame when "bindToFrames" is true, and the main frame
// always, exactly once. Empty, with an error line, when the browser has no
// main frame.
std::vector<int64> ChooseFrameIds(
    const CefRefPtr<CefBrowser>& browser,
    const CefRefPtr<CefDictionaryValue>& bindings);

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_FRAME_CHOICE_H_
