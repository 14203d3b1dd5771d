// The data behind CefBinaryValue, CefDictionaryValue and CefListValue, shared
// by the value and process-message implementations.
//
// Values form trees of ValueNodes. A CEF object is a wrapper that points at a
// node and at the ValueController of its tree: the controller stands for the
// wrapper (or message) that owns the tree, so CEF's rule that references
// into a tree die with its owner is one flag. Not thread-safe: like the
// renderer code it serves, a tree is used from one thread at a time.
#ifndef CEF_STANDIN_SRC_VALUES_IMPL_H_
#define CEF_STANDIN_SRC_VALUES_IMPL_H_

#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "include/cef_values.h"

namespace standin {
namespace internal {

struct ValueNode;
using ValueNodePtr = std::shared_ptr<ValueNode>;

// One value as Chromium's base::Value holds it: strings and keys in UTF-8,
// which is why dictionary keys sort by their UTF-8 bytes. Scalar nodes are
// never changed after creation, so they may be shared.
//
// A node holds only its own type's data, as base::Value does: a list of a
// million integers is a million of these, so their size is the stand-in's
// memory use.
struct ValueNode {
  using Binary = std::vector<unsigned char>;
  using List = std::vector<ValueNodePtr>;
  using Dictionary = std::map<std::string, ValueNodePtr>;
  using Data = std::variant<std::monostate,
                            bool,
                            int,
                            double,
                            std::string,
                            Binary,
                            List,
                            Dictionary>;

  // Holds the empty or zero value of |type|.
  explicit ValueNode(CefValueType type);

  // Each accessor is for nodes of its own type only.
  bool bool_value() const { return std::get<bool>(data); }
  int int_value() const { return std::get<int>(data); }
  double double_value() const { return std::get<double>(data); }
  const std::string& string_value() const {
    return std::get<std::string>(data);
  }
  Binary& binary_value() { return std::get<Binary>(data); }
  const Binary& binary_value() const { return std::get<Binary>(data); }
  List& list_value() { return std::get<List>(data); }
  const List& list_value() const { return std::get<List>(data); }
  Dictionary& dictionary_value() { return std::get<Dictionary>(data); }
  const Dictionary& dictionary_value() const {
    return std::get<Dictionary>(data);
  }

  const CefValueType type;
  // Set when the node leaves its tree (removed, replaced, cleared): CEF
  // invalidates every reference to such a value.
  bool detached = false;
  Data data;
};

class ValueController {
 public:
  bool valid() const { return valid_; }
  void Invalidate() { valid_ = false; }

 private:
  bool valid_ = true;
};
using ValueControllerPtr = std::shared_ptr<ValueController>;

ValueNodePtr DeepCopyValueNode(const ValueNode& node);

enum class ValueOwnership {
  // Owns its tree: created on its own or by Copy(). Releasing it, or putting
  // it into a container, invalidates every reference into the tree.
  kRoot,
  // Reached through a container or a message; IsOwned() is true.
  kReference,
};

CefRefPtr<CefListValue> WrapListValue(ValueNodePtr node,
                                      ValueControllerPtr controller,
                                      ValueOwnership ownership,
                                      bool read_only);

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_VALUES_IMPL_H_
