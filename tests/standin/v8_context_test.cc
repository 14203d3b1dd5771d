// CefV8Context: entering and leaving, the hooks' view of their context, Eval
// and the task runner.
#include <string>
#include <vector>

#include "cef_standin/src/renderer_internal.h"
#include "gtest/gtest.h"
#include "include/cef_v8.h"
#include "include/wrapper/cef_closure_task.h"
#include "renderer_test_support.h"

namespace {

using standin_test::ScopedEnter;
using V8ContextTest = standin_test::RendererTest;

void NoteTask(std::vector<std::string>* ran, std::string name) {
  ran->push_back(CefV8Context::InContext() ? name + " (entered)" : name);
}

void NoteAndPostTask(std::vector<std::string>* ran,
                     CefRefPtr<CefTaskRunner> runner) {
  NoteTask(ran, "2");
  runner->PostTask(CefCreateClosureTask(
      base::Bind(&NoteTask, ran, std::string("posted by 2"))));
}

TEST_F(V8ContextTest, EnterAndExitNest) {
  CefRefPtr<CefV8Context> page = context();
  EXPECT_FALSE(CefV8Context::InContext());
  EXPECT_EQ(nullptr, CefV8Context::GetCurrentContext());

  ASSERT_TRUE(page->Enter());
  ASSERT_TRUE(page->Enter());
  EXPECT_TRUE(CefV8Context::InContext());
  EXPECT_TRUE(CefV8Context::GetCurrentContext()->IsSame(page));
  EXPECT_TRUE(CefV8Context::GetEnteredContext()->IsSame(page));
  EXPECT_TRUE(page->Exit());
  EXPECT_TRUE(CefV8Context::InContext());
  EXPECT_TRUE(page->Exit());
  EXPECT_FALSE(CefV8Context::InContext());

  standin::ClearLog();
  EXPECT_FALSE(page->Exit());
  EXPECT_TRUE(LogContains("without matching call to CefV8Context::Enter()"));
}

// CEF makes a new CefV8Context object for every GetV8Context(),
// GetCurrentContext() and context hook, and counts Enter() and Exit() per
// object: only the object that entered can exit (cef_standin/README.md,
// fact 23).
TEST_F(V8ContextTest, EnterAndExitCountPerObject) {
  CefRefPtr<CefV8Context> first = main_frame()->GetV8Context();
  CefRefPtr<CefV8Context> second = main_frame()->GetV8Context();
  EXPECT_NE(first.get(), second.get());
  EXPECT_TRUE(first->IsSame(second));

  ASSERT_TRUE(first->Enter());
  CefRefPtr<CefV8Context> current = CefV8Context::GetCurrentContext();
  EXPECT_NE(first.get(), current.get());
  EXPECT_TRUE(current->IsSame(first));
  standin::ClearLog();
  EXPECT_FALSE(second->Exit());
  EXPECT_FALSE(current->Exit());
  EXPECT_TRUE(LogContains("without matching call to CefV8Context::Enter()"));
  EXPECT_TRUE(CefV8Context::InContext());
  EXPECT_TRUE(first->Exit());
  EXPECT_FALSE(CefV8Context::InContext());

  CefRefPtr<CefV8Context> hooked;
  app_->on_context_created =
      [&](CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
          CefRefPtr<CefV8Context> created) { hooked = created; };
  renderer_->CreateContext(browser_id_, main_frame_id_);
  app_->on_context_created = nullptr;
  ASSERT_TRUE(hooked);
  CefRefPtr<CefV8Context> later = main_frame()->GetV8Context();
  EXPECT_NE(hooked.get(), later.get());
  EXPECT_TRUE(hooked->IsSame(later));
}

TEST_F(V8ContextTest, ContextsOfTwoFramesNestInOrder) {
  const int64 child = renderer_->AddFrame(browser_id_, "child");
  renderer_->CreateContext(browser_id_, child);
  CefRefPtr<CefV8Context> outer = context();
  CefRefPtr<CefV8Context> inner =
      renderer_->GetFrame(browser_id_, child)->GetV8Context();
  EXPECT_FALSE(outer->IsSame(inner));

  ASSERT_TRUE(outer->Enter());
  ASSERT_TRUE(inner->Enter());
  EXPECT_TRUE(CefV8Context::GetCurrentContext()->IsSame(inner));
  EXPECT_EQ(child,
            CefV8Context::GetCurrentContext()->GetFrame()->GetIdentifier());
  EXPECT_FALSE(outer->Exit()) << "left out of order";
  EXPECT_TRUE(inner->Exit());
  EXPECT_TRUE(CefV8Context::GetCurrentContext()->IsSame(outer));
  EXPECT_TRUE(outer->Exit());
}

TEST_F(V8ContextTest, CreatedHookRunsEntered) {
  bool in_context = false;
  bool current_is_new = false;
  app_->on_context_created = [&](CefRefPtr<CefBrowser> browser,
                                 CefRefPtr<CefFrame> frame,
                                 CefRefPtr<CefV8Context> created) {
    in_context = CefV8Context::InContext();
    CefRefPtr<CefV8Context> current = CefV8Context::GetCurrentContext();
    current_is_new = current && current->IsSame(created);
    // The page entered it, not the application: an unmatched Exit fails.
    EXPECT_FALSE(created->Exit());
    EXPECT_TRUE(created->GetGlobal()->SetValue(
        "installed", CefV8Value::CreateBool(true), V8_PROPERTY_ATTRIBUTE_NONE));
  };
  renderer_->CreateContext(browser_id_, main_frame_id_);
  EXPECT_TRUE(in_context);
  EXPECT_TRUE(current_is_new);
  EXPECT_FALSE(CefV8Context::InContext());
  EXPECT_EQ("true", PageEval("installed").value);
  app_->on_context_created = nullptr;
}

// V8 makes a frame's context on first use, which page code cannot tell: the
// created hook still runs in it, also when it enters another context first.
TEST_F(V8ContextTest, ContextIsMadeOnFirstUse) {
  const int64 child = renderer_->AddFrame(browser_id_, "child");
  const int made = standin::internal::ContextsMadeForTesting();
  renderer_->CreateContext(browser_id_, child);
  renderer_->ReleaseContext(browser_id_, child);
  EXPECT_EQ(made, standin::internal::ContextsMadeForTesting()) << "untouched";

  CefRefPtr<CefV8Context> outer = context();
  bool in_order = false;
  app_->on_context_created = [&](CefRefPtr<CefBrowser> browser,
                                 CefRefPtr<CefFrame> frame,
                                 CefRefPtr<CefV8Context> created) {
    ASSERT_TRUE(outer->Enter());
    const bool outer_current = CefV8Context::GetCurrentContext()->IsSame(outer);
    EXPECT_TRUE(outer->Exit());
    in_order = outer_current &&
               CefV8Context::GetCurrentContext()->IsSame(created) &&
               CefV8Context::GetEnteredContext()->IsSame(created);
  };
  renderer_->CreateContext(browser_id_, child);
  app_->on_context_created = nullptr;
  EXPECT_TRUE(in_order);
  EXPECT_FALSE(CefV8Context::InContext());
  EXPECT_EQ("\"object\"",
            renderer_->Eval(browser_id_, child, "typeof window").value);
}

// V8 reads its flags as it starts: flags set later would not take effect.
TEST_F(V8ContextTest, FlagsAreRefusedOnceV8Runs) {
  ASSERT_EQ("2", renderer_->Eval(browser_id_, main_frame_id_, "1 + 1").value);
  EXPECT_FALSE(standin::SetV8Flags("--jitless"));
}

TEST_F(V8ContextTest, ReleasedHookRunsWithScriptForbidden) {
  struct {
    bool valid = false;
    bool in_context = true;
    bool entered = true;
    bool has_global = true;
    bool evaluated = true;
    bool frame_matches = false;
  } seen;
  CefRefPtr<CefV8Context> page = context();
  app_->on_context_released = [&](CefRefPtr<CefBrowser> browser,
                                  CefRefPtr<CefFrame> frame,
                                  CefRefPtr<CefV8Context> released) {
    seen.valid = released->IsValid();
    seen.in_context = CefV8Context::InContext();
    seen.entered = released->Enter();
    seen.has_global = released->GetGlobal() != nullptr;
    CefRefPtr<CefV8Value> retval;
    CefRefPtr<CefV8Exception> exception;
    seen.evaluated = released->Eval("1", "", 1, retval, exception);
    seen.frame_matches =
        released->IsSame(page) &&
        released->GetFrame()->GetIdentifier() == frame->GetIdentifier();
  };
  renderer_->ReleaseContext(browser_id_, main_frame_id_);
  app_->on_context_released = nullptr;

  EXPECT_TRUE(seen.valid);
  EXPECT_FALSE(seen.in_context);
  EXPECT_FALSE(seen.entered);
  EXPECT_FALSE(seen.has_global);
  EXPECT_FALSE(seen.evaluated);
  EXPECT_TRUE(seen.frame_matches);

  EXPECT_FALSE(page->IsValid());
  EXPECT_EQ(nullptr, page->GetBrowser());
  EXPECT_FALSE(page->Enter());
  EXPECT_FALSE(main_frame()->GetV8Context()->IsValid());
}

TEST_F(V8ContextTest, EvalGivesResultOrException) {
  CefRefPtr<CefV8Value> retval;
  CefRefPtr<CefV8Exception> exception;
  ASSERT_TRUE(context()->Eval("6 * 7", "", 1, retval, exception));
  EXPECT_EQ(42, retval->GetIntValue());
  EXPECT_EQ(nullptr, exception);

  EXPECT_FALSE(context()->Eval("\n\nthrow new TypeError('bad')", "page.js", 10,
                               retval, exception));
  EXPECT_EQ(nullptr, retval);
  ASSERT_TRUE(exception);
  EXPECT_EQ("Uncaught TypeError: bad", exception->GetMessage().ToString());
  EXPECT_EQ("page.js", exception->GetScriptResourceName().ToString());
  EXPECT_EQ(12, exception->GetLineNumber());
  EXPECT_FALSE(CefV8Context::InContext());
}

TEST_F(V8ContextTest, TasksRunLaterInOrderWithNothingEntered) {
  std::vector<std::string> ran;
  CefRefPtr<CefTaskRunner> runner = context()->GetTaskRunner();
  ASSERT_TRUE(runner);
  EXPECT_TRUE(runner->BelongsToCurrentThread());
  {
    ScopedEnter enter(context());
    runner->PostTask(
        CefCreateClosureTask(base::Bind(&NoteTask, &ran, std::string("1"))));
    CefPostTask(TID_RENDERER, base::Bind(&NoteAndPostTask, &ran, runner));
  }
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(2u, renderer_->PendingTaskCount());
  EXPECT_EQ(3u, renderer_->RunPendingTasks());
  EXPECT_EQ((std::vector<std::string>{"1", "2", "posted by 2"}), ran);
  EXPECT_EQ(0u, renderer_->PendingTaskCount());
}

}  // namespace
