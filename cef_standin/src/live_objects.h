// Counts the stand-in's objects so tests can prove that nothing leaks.
#ifndef CEF_STANDIN_SRC_LIVE_OBJECTS_H_
#define CEF_STANDIN_SRC_LIVE_OBJECTS_H_

namespace standin {
namespace internal {

void LiveObjectCreated();
void LiveObjectDestroyed();

// A member that counts its owner among the live objects.
class LiveObject {
 public:
  LiveObject() { LiveObjectCreated(); }
  LiveObject(const LiveObject&) { LiveObjectCreated(); }
  LiveObject& operator=(const LiveObject&) { return *this; }
  ~LiveObject() { LiveObjectDestroyed(); }
};

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_LIVE_OBJECTS_H_
