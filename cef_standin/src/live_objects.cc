// The live-object counter behind standin::LiveObjectCount().
#include "cef_standin/src/live_objects.h"

#include <atomic>

#include "cef_standin/src/standin_core.h"

namespace standin {
namespace {

// Objects are created and released on several threads (task runners, the
// log), so the count is atomic.
std::atomic<int> g_live_objects{0};

}  // namespace

namespace internal {

void LiveObjectCreated() {
  g_live_objects.fetch_add(1, std::memory_order_relaxed);
}

void LiveObjectDestroyed() {
  g_live_objects.fetch_sub(1, std::memory_order_relaxed);
}

}  // namespace internal

int LiveObjectCount() {
  return g_live_objects.load(std::memory_order_relaxed);
}

}  // namespace standin
