#include "app/frame_choice.h"

#include <algorithm>

#include "app/bindings_dictionary.h"
#include "app/quillmoss_app_log.h"
#include "common/log_line.h"

namespace quillmoss {

std::vector<int64> ChooseFrameIds(
    const CefRefPtr<CefBrowser>& browser,
    const CefRefPtr<CefDictionaryValue>& bindings) {
  std::vector<int64> frame_ids;
  if (ReadBindToFrames(bindings)) {
    // By identifier: pages may give several frames one name, and a look-up
    // by name finds only the first of them.
    browser->GetFrameIdentifiers(frame_ids);
  }
  const CefRefPtr<CefFrame> main_frame = browser->GetMainFrame();
  if (!main_frame) {
    RENDERER_LOG(ERROR)
        << "DoJavascriptBindingsForBrowser(): GetMainFrame() failed";
    return frame_ids;
  }
  const int64 main_frame_id = main_frame->GetIdentifier();
  if (std::find(frame_ids.begin(), frame_ids.end(), main_frame_id) ==
      frame_ids.end()) {
    frame_ids.push_back(main_frame_id);
  }
  return frame_ids;
}

}  // namespace quillmoss
