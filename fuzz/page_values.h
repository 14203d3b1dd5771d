// Page values written as script by a small grammar driven by the input's
// bytes: arrays and objects nested past the nesting limit, holes and sparse
// arrays, long keys and names, accessors and Proxy traps whose bodies act on
// the page (remove frames, throw, change the container being read, put
// accessors on the prototypes, call the host again, keep functions),
// callable and revoked Proxies, and leaves of every kind V8 has.
#ifndef QUILLMOSS_FUZZ_PAGE_VALUES_H_
#define QUILLMOSS_FUZZ_PAGE_VALUES_H_

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace fuzz {

// Script the page runs once before a call's arguments: |pageValues| holds
// what the grammar's values share (kept functions, the re-entry budget).
// Needs |pick(n)| of the dispatch target's prelude in scope.
extern const char kPageValuesPrelude[];

// The frames an action may remove, as identifiers in decimal ("0" where the
// calling frame has none of that kind: the page's remover refuses it).
struct FrameRoles {
  std::string own;
  std::string parent;
  std::string sibling;
  std::string child;
};

class PageValueGrammar {
 public:
  PageValueGrammar(FuzzedDataProvider& data, const FrameRoles& frames)
      : data_(data), frames_(frames) {}
  PageValueGrammar(const PageValueGrammar&) = delete;
  PageValueGrammar& operator=(const PageValueGrammar&) = delete;

  // One value as a script expression.
  std::string Value() { return Node(0); }
  // Whether a value written so far calls the page's removeFrame().
  bool removes_frames() const { return removes_frames_; }

 private:
  // The productions. A new kind of container is a row here, before
  // kMaxValue's, and a case in Node().
  enum class Kind {
    kLeaf,
    kArray,
    kObject,
    kProxiedObject,
    kProxiedArray,
    kCycle,
    kCallableProxy,
    kRevokedProxy,
    kMaxValue = kRevokedProxy
  };

  std::string Node(int depth);
  std::string Leaf();
  std::string Array(int depth);
  std::string Object(int depth);
  // |target| in a Proxy whose get trap acts when it reads |key|, and maybe
  // its ownKeys, getOwnPropertyDescriptor, getPrototypeOf (and, |callable|,
  // apply) traps; one more Proxy around it at times.
  std::string Proxied(const std::string& target,
                      const std::string& key,
                      bool callable = false);
  // A statement run by an accessor or trap; |container| names the value
  // being read. |nested| actions put no further actions on the prototypes.
  std::string Action(const std::string& container, bool nested = false);
  std::string Key();
  std::string FrameToRemove();

  FuzzedDataProvider& data_;
  const FrameRoles frames_;
  int nodes_ = 0;
  bool removes_frames_ = false;
};

}  // namespace fuzz

#endif  // QUILLMOSS_FUZZ_PAGE_VALUES_H_
