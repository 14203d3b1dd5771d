// The per-browser bindings store and the bound-name look-up.
#include "tests/app/app_fixture.h"

namespace quillmoss {
namespace {

using BindingsStoreTest = AppFixture;

TEST_F(BindingsStoreTest, KeepsBrowsersApartAndLookUpsCreateNothing) {
  const int first = renderer_->CreateBrowser();
  const int second = renderer_->CreateBrowser();
  CefRefPtr<CefBrowser> first_browser = renderer_->GetBrowser(first);
  CefRefPtr<CefBrowser> second_browser = renderer_->GetBrowser(second);

  EXPECT_FALSE(app_->GetBindingsForBrowser(first_browser));
  EXPECT_EQ(0u, QuillmossAppTestPeer::BindingsCount(app_.get()));

  CefRefPtr<CefDictionaryValue> bindings =
      BindingsBuilder().Function("a").Build();
  app_->SetBindingsForBrowser(first_browser, bindings);
  EXPECT_TRUE(app_->GetBindingsForBrowser(first_browser)->IsSame(bindings));
  EXPECT_FALSE(app_->GetBindingsForBrowser(second_browser));
  EXPECT_EQ(1u, QuillmossAppTestPeer::BindingsCount(app_.get()));

  // Removing a browser without an entry changes nothing; removing one
  // leaves the other's.
  app_->RemoveBindingsForBrowser(second_browser);
  EXPECT_EQ(1u, QuillmossAppTestPeer::BindingsCount(app_.get()));
  app_->SetBindingsForBrowser(second_browser, BindingsBuilder().Build());
  renderer_->DestroyBrowser(second);
  EXPECT_TRUE(app_->GetBindingsForBrowser(first_browser));
  EXPECT_EQ(1u, QuillmossAppTestPeer::BindingsCount(app_.get()));
}

TEST_F(BindingsStoreTest, SecondDictionaryReplacesAndReleasesTheFirst) {
  const int browser = renderer_->CreateBrowser();
  CefRefPtr<CefBrowser> cef_browser = renderer_->GetBrowser(browser);
  const int live_before = standin::LiveObjectCount();
  app_->SetBindingsForBrowser(cef_browser,
                              BindingsBuilder().Function("a").Build());
  const int live_with_first = standin::LiveObjectCount();
  EXPECT_GT(live_with_first, live_before);

  CefRefPtr<CefDictionaryValue> second =
      BindingsBuilder().Function("b").Build();
  app_->SetBindingsForBrowser(cef_browser, second);
  second = nullptr;
  EXPECT_EQ(live_with_first, standin::LiveObjectCount());
  EXPECT_TRUE(app_->BindedFunctionExists(cef_browser, "b"));
  EXPECT_FALSE(app_->BindedFunctionExists(cef_browser, "a"));

  app_->RemoveBindingsForBrowser(cef_browser);
  EXPECT_EQ(live_before, standin::LiveObjectCount());
}

TEST_F(BindingsStoreTest, NameLookUpSplitsAtTheFirstFullStop) {
  const int browser = renderer_->CreateBrowser();
  CefRefPtr<CefBrowser> cef_browser = renderer_->GetBrowser(browser);
  app_->SetBindingsForBrowser(cef_browser, BindingsBuilder()
                                               .Function("saveFile")
                                               .Function("a.b")
                                               .Object("external", {"close"})
                                               .Object("o", {"x.y"})
                                               .Object("a.b", {"m"})
                                               .Build());
  struct Row {
    const char* name;
    bool bound;
  };
  const Row rows[] = {
      {"saveFile", true},
      {"savefile", false},
      {"external.close", true},
      {"external.resize", false},
      {"a.b", false},    // a function key with a full stop
      {"o.x.y", true},   // only the first full stop splits
      {"a.b.m", false},  // object a.b is looked up as object a
      {"missing.close", false},
      {"", false},
      {".close", false},
      // CEF's wrapper refuses a look-up by an empty key: an empty part is
      // never asked for.
      {"external.", false},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    EXPECT_EQ(rows[i].bound,
              app_->BindedFunctionExists(cef_browser, rows[i].name))
        << "row " << i << ": " << rows[i].name;
  }
  EXPECT_TRUE(standin::LogRecords().empty());
}

TEST_F(BindingsStoreTest, NoBindingsMeansUnboundWithoutALogLine) {
  const int browser = renderer_->CreateBrowser();
  CefRefPtr<CefBrowser> cef_browser = renderer_->GetBrowser(browser);
  EXPECT_FALSE(app_->BindedFunctionExists(cef_browser, "saveFile"));
  EXPECT_FALSE(app_->BindedFunctionExists(cef_browser, "external.close"));
  EXPECT_TRUE(standin::LogRecords().empty());
  EXPECT_EQ(0u, QuillmossAppTestPeer::BindingsCount(app_.get()));
}

TEST_F(BindingsStoreTest, MalformedDictionariesRefuseWithTheirLine) {
  const int browser = renderer_->CreateBrowser();
  CefRefPtr<CefBrowser> cef_browser = renderer_->GetBrowser(browser);

  app_->SetBindingsForBrowser(cef_browser,
                              BindingsBuilder()
                                  .Omit(kBindToFramesKey)
                                  .Omit(kPropertiesKey)
                                  .SetString(kFunctionsKey, "not a dictionary")
                                  .SetInt(kObjectsKey, 3)
                                  .Build());
  EXPECT_FALSE(app_->BindedFunctionExists(cef_browser, "f"));
  EXPECT_FALSE(app_->BindedFunctionExists(cef_browser, "o.m"));

  app_->SetBindingsForBrowser(cef_browser, BindingsBuilder()
                                               .Omit(kBindToFramesKey)
                                               .Omit(kFunctionsKey)
                                               .Omit(kPropertiesKey)
                                               .ObjectInt("o", 1)
                                               .Build());
  EXPECT_FALSE(app_->BindedFunctionExists(cef_browser, "o.m"));
  EXPECT_FALSE(app_->BindedFunctionExists(cef_browser, "p.m"));

  const std::vector<std::string> expected = {
      "[Renderer process] BindedFunctionExists(): functions dictionary not "
      "found",
      "[Renderer process] BindedFunctionExists(): objects dictionary not found",
      "[Renderer process] BindedFunctionExists(): objects dictionary has "
      "invalid type",
  };
  EXPECT_EQ(expected, LogTexts("quillmoss_app"));
  for (const standin::LogRecord& record : standin::LogRecords())
    EXPECT_EQ(2, record.severity);
}

}  // namespace
}  // namespace quillmoss
