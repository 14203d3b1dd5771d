// Entering a frame's context for installation and callback execution: the
// entry keeps its own reference, and one CEF refused leaves nothing to exit.
#include "app/scoped_context_entry.h"

#include "tests/app/app_fixture.h"

namespace quillmoss {
namespace {

using ScopedContextEntryTest = AppFixture;

// A wrapper gone while entered, or an Exit() without its Enter(), would log a
// stand-in error; CEF's debug builds stop on both.
TEST_F(ScopedContextEntryTest, HoldsWhatItEnteredAndExitsNothingRefused) {
  const int browser = CreateBrowserWithContext();
  {
    ScopedContextEntry entry;
    // Each GetV8Context() is a new wrapper, counted on its own, and the
    // caller's goes first.
    ASSERT_TRUE(entry.Enter(
        renderer_->GetFrame(browser, MainFrame(browser))->GetV8Context()));
    EXPECT_TRUE(CefV8Context::InContext());
  }
  EXPECT_FALSE(CefV8Context::InContext());
  EXPECT_TRUE(AllLogTexts().empty()) << ::testing::PrintToString(AllLogTexts());

  const CefRefPtr<CefV8Context> released =
      renderer_->GetFrame(browser, MainFrame(browser))->GetV8Context();
  renderer_->ReleaseContext(browser, MainFrame(browser));
  standin::ClearLog();
  {
    ScopedContextEntry entry;
    EXPECT_FALSE(entry.Enter(released));
  }
  EXPECT_FALSE(CefV8Context::InContext());
  EXPECT_TRUE(AllLogTexts().empty()) << ::testing::PrintToString(AllLogTexts());
}

}  // namespace
}  // namespace quillmoss
