// CefBinaryValue, CefDictionaryValue and CefListValue with CEF 81's
// ownership rules: see values_impl.h for the model.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "cef_standin/src/live_objects.h"
#include "cef_standin/src/logging_internal.h"
#include "cef_standin/src/values_impl.h"
#include "cef_standin/src/values_internal.h"
#include "cef_standin/src/verify_param.h"
#include "include/base/cef_logging.h"
#include "include/cef_values.h"

namespace standin {
namespace internal {

namespace {

// CEF would try to allocate whatever a far-away list index asks for and die
// when it cannot; the stand-in refuses instead.
constexpr size_t kMaxListSize = size_t{1} << 24;

bool IsContainerOrBinary(CefValueType type) {
  return type == VTYPE_BINARY || type == VTYPE_DICTIONARY || type == VTYPE_LIST;
}

ValueNodePtr MakeNull() {
  return std::make_shared<ValueNode>(VTYPE_NULL);
}

ValueNodePtr MakeBool(bool value) {
  auto node = std::make_shared<ValueNode>(VTYPE_BOOL);
  node->data = value;
  return node;
}

ValueNodePtr MakeInt(int value) {
  auto node = std::make_shared<ValueNode>(VTYPE_INT);
  node->data = value;
  return node;
}

ValueNodePtr MakeDouble(double value) {
  auto node = std::make_shared<ValueNode>(VTYPE_DOUBLE);
  // base::Value cannot hold NaN or infinity and stores 0 instead.
  node->data = std::isfinite(value) ? value : 0.0;
  return node;
}

ValueNodePtr MakeString(const CefString& value) {
  auto node = std::make_shared<ValueNode>(VTYPE_STRING);
  node->data = value.ToString();
  return node;
}

// Marks |root| and everything below it as gone from its tree.
void MarkDetached(ValueNode* root) {
  std::vector<ValueNode*> pending{root};
  while (!pending.empty()) {
    ValueNode* node = pending.back();
    pending.pop_back();
    if (!IsContainerOrBinary(node->type))
      continue;
    node->detached = true;
    if (const auto* list = std::get_if<ValueNode::List>(&node->data)) {
      for (const ValueNodePtr& child : *list)
        pending.push_back(child.get());
    } else if (const auto* dictionary =
                   std::get_if<ValueNode::Dictionary>(&node->data)) {
      for (const auto& entry : *dictionary)
        pending.push_back(entry.second.get());
    }
  }
}

bool NodesEqual(const ValueNode& a, const ValueNode& b) {
  if (a.type != b.type)
    return false;
  switch (a.type) {
    case VTYPE_BOOL:
      return a.bool_value() == b.bool_value();
    case VTYPE_INT:
      return a.int_value() == b.int_value();
    case VTYPE_DOUBLE:
      return a.double_value() == b.double_value();
    case VTYPE_STRING:
      return a.string_value() == b.string_value();
    case VTYPE_BINARY:
      return a.binary_value() == b.binary_value();
    case VTYPE_LIST:
      return std::equal(a.list_value().begin(), a.list_value().end(),
                        b.list_value().begin(), b.list_value().end(),
                        [](const ValueNodePtr& x, const ValueNodePtr& y) {
                          return NodesEqual(*x, *y);
                        });
    case VTYPE_DICTIONARY:
      return std::equal(
          a.dictionary_value().begin(), a.dictionary_value().end(),
          b.dictionary_value().begin(), b.dictionary_value().end(),
          [](const auto& x, const auto& y) {
            return x.first == y.first && NodesEqual(*x.second, *y.second);
          });
    default:
      return true;
  }
}

// base's DeepCopyWithoutEmptyChildren: empty lists and dictionaries are left
// out at every level, and a container that ends up empty is itself left out
// (nullptr).
ValueNodePtr CopyWithoutEmptyChildren(const ValueNode& node) {
  if (node.type == VTYPE_LIST) {
    auto copy = std::make_shared<ValueNode>(VTYPE_LIST);
    for (const ValueNodePtr& child : node.list_value()) {
      if (ValueNodePtr child_copy = CopyWithoutEmptyChildren(*child))
        copy->list_value().push_back(std::move(child_copy));
    }
    return copy->list_value().empty() ? nullptr : copy;
  }
  if (node.type == VTYPE_DICTIONARY) {
    auto copy = std::make_shared<ValueNode>(VTYPE_DICTIONARY);
    for (const auto& entry : node.dictionary_value()) {
      if (ValueNodePtr child_copy = CopyWithoutEmptyChildren(*entry.second))
        copy->dictionary_value().emplace(entry.first, std::move(child_copy));
    }
    return copy->dictionary_value().empty() ? nullptr : copy;
  }
  return DeepCopyValueNode(node);
}

// The state every value wrapper has: which node, in which tree, and how it
// may be used.
class ValueHandle {
 public:
  ValueHandle(ValueNodePtr node,
              ValueControllerPtr controller,
              ValueOwnership ownership,
              bool read_only)
      : node_(std::move(node)),
        controller_(std::move(controller)),
        ownership_(ownership),
        read_only_(read_only) {}
  ~ValueHandle() {
    // The owner is going, and with it the tree (CEF deletes the data).
    if (ownership_ == ValueOwnership::kRoot && controller_)
      controller_->Invalidate();
  }
  ValueHandle(const ValueHandle&) = delete;
  ValueHandle& operator=(const ValueHandle&) = delete;

  bool IsValid() const {
    return node_ && !node_->detached && controller_ && controller_->valid();
  }
  bool IsOwned() const {
    return IsValid() && ownership_ == ValueOwnership::kReference;
  }
  bool IsReadOnly() const { return IsValid() && read_only_; }
  bool CanModify() const { return IsValid() && !read_only_; }

  // Only meaningful while IsValid().
  ValueNode& node() const { return *node_; }
  const ValueControllerPtr& controller() const { return controller_; }
  bool read_only() const { return read_only_; }

  bool IsSame(const ValueHandle* that) const {
    return that && IsValid() && that->IsValid() && node_ == that->node_;
  }
  bool IsEqual(const ValueHandle* that) const {
    return that && IsValid() && that->IsValid() &&
           (node_ == that->node_ || NodesEqual(*node_, *that->node_));
  }

  // The data to put into the tree of |destination|. A value that nothing
  // else owns is taken over, which invalidates it and every reference
  // obtained through it; a value owned elsewhere is copied. So is a tree
  // being put into itself, which could not hold itself.
  ValueNodePtr Adopt(const ValueController* destination) {
    if (!IsValid())
      return nullptr;
    if (ownership_ == ValueOwnership::kReference ||
        controller_.get() == destination) {
      return DeepCopyValueNode(*node_);
    }
    controller_->Invalidate();
    return std::move(node_);
  }

  // A wrapper of |child| in the same tree, inheriting read-only-ness.
  template <typename Impl>
  CefRefPtr<Impl> Reference(const ValueNodePtr& child) const {
    return new Impl(child, controller_, ValueOwnership::kReference, read_only_);
  }

 private:
  LiveObject live_;
  ValueNodePtr node_;
  ValueControllerPtr controller_;
  const ValueOwnership ownership_;
  const bool read_only_;
};

bool ReadBool(const ValueNodePtr* node) {
  return node && (*node)->type == VTYPE_BOOL && (*node)->bool_value();
}

int ReadInt(const ValueNodePtr* node) {
  return node && (*node)->type == VTYPE_INT ? (*node)->int_value() : 0;
}

// base::Value::GetAsDouble also reads integers.
double ReadDouble(const ValueNodePtr* node) {
  if (!node)
    return 0.0;
  if ((*node)->type == VTYPE_INT)
    return (*node)->int_value();
  return (*node)->type == VTYPE_DOUBLE ? (*node)->double_value() : 0.0;
}

CefString ReadString(const ValueNodePtr* node) {
  if (!node || (*node)->type != VTYPE_STRING)
    return CefString();
  return CefString((*node)->string_value());
}

CefValueType ReadType(const ValueNodePtr* node) {
  return node ? (*node)->type : VTYPE_INVALID;
}

const ValueNodePtr* OfType(const ValueNodePtr* node, CefValueType type) {
  return node && (*node)->type == type ? node : nullptr;
}

// The wrapper's checks: every key is a non-empty string, every value given
// to be set or compared is there.
bool VerifyKey(const CefString& key, const char* method) {
  return VerifyParam(!key.empty(), method, "!key.empty()");
}
template <typename Value>
bool VerifyValue(const CefRefPtr<Value>& value, const char* method) {
  return VerifyParam(value != nullptr, method, "value.get()");
}
template <typename Value>
bool VerifyThat(const CefRefPtr<Value>& that, const char* method) {
  return VerifyParam(that != nullptr, method, "that.get()");
}

class BinaryValueImpl;
class DictionaryValueImpl;
class ListValueImpl;

template <typename Impl, typename Interface>
ValueHandle* HandleOf(const CefRefPtr<Interface>& value) {
  auto* impl = dynamic_cast<Impl*>(value.get());
  return impl ? &impl->handle() : nullptr;
}

template <typename Impl, typename Interface>
ValueNodePtr AdoptValue(const CefRefPtr<Interface>& value,
                        const ValueController* destination) {
  ValueHandle* handle = HandleOf<Impl>(value);
  return handle ? handle->Adopt(destination) : nullptr;
}

class BinaryValueImpl : public CefBinaryValue {
 public:
  BinaryValueImpl(ValueNodePtr node,
                  ValueControllerPtr controller,
                  ValueOwnership ownership,
                  bool read_only)
      : handle_(std::move(node), std::move(controller), ownership, read_only) {}
  BinaryValueImpl(const BinaryValueImpl&) = delete;
  BinaryValueImpl& operator=(const BinaryValueImpl&) = delete;

  static CefRefPtr<CefBinaryValue> CreateRoot(ValueNodePtr node) {
    return new BinaryValueImpl(std::move(node),
                               std::make_shared<ValueController>(),
                               ValueOwnership::kRoot, false);
  }

  ValueHandle& handle() { return handle_; }

  // CefBinaryValue methods:
  bool IsValid() override { return handle_.IsValid(); }
  bool IsOwned() override { return handle_.IsOwned(); }
  bool IsSame(CefRefPtr<CefBinaryValue> that) override {
    return VerifyThat(that, "CefBinaryValue::IsSame") &&
           handle_.IsSame(HandleOf<BinaryValueImpl>(that));
  }
  bool IsEqual(CefRefPtr<CefBinaryValue> that) override {
    return VerifyThat(that, "CefBinaryValue::IsEqual") &&
           handle_.IsEqual(HandleOf<BinaryValueImpl>(that));
  }
  CefRefPtr<CefBinaryValue> Copy() override {
    if (!handle_.IsValid())
      return nullptr;
    return CreateRoot(DeepCopyValueNode(handle_.node()));
  }
  size_t GetSize() override {
    return handle_.IsValid() ? handle_.node().binary_value().size() : 0;
  }
  size_t GetData(void* buffer,
                 size_t buffer_size,
                 size_t data_offset) override {
    if (!VerifyParam(buffer != nullptr, "CefBinaryValue::GetData", "buffer"))
      return 0;
    if (!buffer || buffer_size == 0 || !handle_.IsValid())
      return 0;
    const std::vector<unsigned char>& data = handle_.node().binary_value();
    if (data_offset >= data.size())
      return 0;
    const size_t count = std::min(buffer_size, data.size() - data_offset);
    std::memcpy(buffer, data.data() + data_offset, count);
    return count;
  }

 private:
  ValueHandle handle_;

  IMPLEMENT_REFCOUNTING(BinaryValueImpl);
};

class DictionaryValueImpl : public CefDictionaryValue {
 public:
  DictionaryValueImpl(ValueNodePtr node,
                      ValueControllerPtr controller,
                      ValueOwnership ownership,
                      bool read_only)
      : handle_(std::move(node), std::move(controller), ownership, read_only) {}
  DictionaryValueImpl(const DictionaryValueImpl&) = delete;
  DictionaryValueImpl& operator=(const DictionaryValueImpl&) = delete;

  static CefRefPtr<CefDictionaryValue> CreateRoot(ValueNodePtr node) {
    return new DictionaryValueImpl(std::move(node),
                                   std::make_shared<ValueController>(),
                                   ValueOwnership::kRoot, false);
  }

  ValueHandle& handle() { return handle_; }

  // CefDictionaryValue methods:
  bool IsValid() override { return handle_.IsValid(); }
  bool IsOwned() override { return handle_.IsOwned(); }
  bool IsReadOnly() override { return handle_.IsReadOnly(); }
  bool IsSame(CefRefPtr<CefDictionaryValue> that) override {
    return VerifyThat(that, "CefDictionaryValue::IsSame") &&
           handle_.IsSame(HandleOf<DictionaryValueImpl>(that));
  }
  bool IsEqual(CefRefPtr<CefDictionaryValue> that) override {
    return VerifyThat(that, "CefDictionaryValue::IsEqual") &&
           handle_.IsEqual(HandleOf<DictionaryValueImpl>(that));
  }
  CefRefPtr<CefDictionaryValue> Copy(bool exclude_empty_children) override {
    if (!handle_.IsValid())
      return nullptr;
    ValueNodePtr copy = exclude_empty_children
                            ? CopyWithoutEmptyChildren(handle_.node())
                            : DeepCopyValueNode(handle_.node());
    if (!copy)
      copy = std::make_shared<ValueNode>(VTYPE_DICTIONARY);
    return CreateRoot(std::move(copy));
  }
  size_t GetSize() override { return handle_.IsValid() ? entries().size() : 0; }
  bool Clear() override {
    if (!handle_.CanModify())
      return false;
    for (const auto& entry : entries())
      MarkDetached(entry.second.get());
    entries().clear();
    return true;
  }
  bool HasKey(const CefString& key) override {
    return VerifyKey(key, "CefDictionaryValue::HasKey") && Find(key) != nullptr;
  }
  // Appends to |keys|, as CEF does.
  bool GetKeys(KeyList& keys) override {
    if (!handle_.IsValid())
      return false;
    for (const auto& entry : entries())
      keys.push_back(CefString(entry.first));
    return true;
  }
  bool Remove(const CefString& key) override {
    if (!VerifyKey(key, "CefDictionaryValue::Remove") || !handle_.CanModify())
      return false;
    auto it = entries().find(key.ToString());
    if (it == entries().end())
      return false;
    MarkDetached(it->second.get());
    entries().erase(it);
    return true;
  }
  CefValueType GetType(const CefString& key) override {
    return ReadType(Find(key, "CefDictionaryValue::GetType"));
  }
  bool GetBool(const CefString& key) override {
    return ReadBool(Find(key, "CefDictionaryValue::GetBool"));
  }
  int GetInt(const CefString& key) override {
    return ReadInt(Find(key, "CefDictionaryValue::GetInt"));
  }
  double GetDouble(const CefString& key) override {
    return ReadDouble(Find(key, "CefDictionaryValue::GetDouble"));
  }
  CefString GetString(const CefString& key) override {
    return ReadString(Find(key, "CefDictionaryValue::GetString"));
  }
  CefRefPtr<CefBinaryValue> GetBinary(const CefString& key) override {
    const ValueNodePtr* node =
        OfType(Find(key, "CefDictionaryValue::GetBinary"), VTYPE_BINARY);
    return node ? handle_.Reference<BinaryValueImpl>(*node) : nullptr;
  }
  CefRefPtr<CefDictionaryValue> GetDictionary(const CefString& key) override {
    const ValueNodePtr* node = OfType(
        Find(key, "CefDictionaryValue::GetDictionary"), VTYPE_DICTIONARY);
    return node ? handle_.Reference<DictionaryValueImpl>(*node) : nullptr;
  }
  CefRefPtr<CefListValue> GetList(const CefString& key) override;
  // CefValue, the variant wrapper, is not played.
  CefRefPtr<CefValue> GetValue(const CefString&) override {
    NotImplemented("CefDictionaryValue::GetValue");
  }
  bool SetValue(const CefString&, CefRefPtr<CefValue>) override {
    NotImplemented("CefDictionaryValue::SetValue");
  }
  bool SetNull(const CefString& key) override {
    return VerifyKey(key, "CefDictionaryValue::SetNull") &&
           Set(key, [] { return MakeNull(); });
  }
  bool SetBool(const CefString& key, bool value) override {
    return VerifyKey(key, "CefDictionaryValue::SetBool") &&
           Set(key, [value] { return MakeBool(value); });
  }
  bool SetInt(const CefString& key, int value) override {
    return VerifyKey(key, "CefDictionaryValue::SetInt") &&
           Set(key, [value] { return MakeInt(value); });
  }
  bool SetDouble(const CefString& key, double value) override {
    return VerifyKey(key, "CefDictionaryValue::SetDouble") &&
           Set(key, [value] { return MakeDouble(value); });
  }
  bool SetString(const CefString& key, const CefString& value) override {
    return VerifyKey(key, "CefDictionaryValue::SetString") &&
           Set(key, [&value] { return MakeString(value); });
  }
  bool SetBinary(const CefString& key,
                 CefRefPtr<CefBinaryValue> value) override {
    return VerifyKey(key, "CefDictionaryValue::SetBinary") &&
           VerifyValue(value, "CefDictionaryValue::SetBinary") && Set(key, [&] {
             return AdoptValue<BinaryValueImpl>(value,
                                                handle_.controller().get());
           });
  }
  bool SetDictionary(const CefString& key,
                     CefRefPtr<CefDictionaryValue> value) override {
    return VerifyKey(key, "CefDictionaryValue::SetDictionary") &&
           VerifyValue(value, "CefDictionaryValue::SetDictionary") &&
           Set(key, [&] {
             return AdoptValue<DictionaryValueImpl>(value,
                                                    handle_.controller().get());
           });
  }
  bool SetList(const CefString& key, CefRefPtr<CefListValue> value) override;

 private:
  std::map<std::string, ValueNodePtr>& entries() const {
    return handle_.node().dictionary_value();
  }

  // The entry under |key| for the getter |method|; null for a key the
  // wrapper refuses, as for a missing one.
  const ValueNodePtr* Find(const CefString& key, const char* method) const {
    if (!VerifyKey(key, method))
      return nullptr;
    return Find(key);
  }
  const ValueNodePtr* Find(const CefString& key) const {
    if (!handle_.IsValid())
      return nullptr;
    auto it = entries().find(key.ToString());
    return it == entries().end() ? nullptr : &it->second;
  }

  // |make| runs only once the dictionary is known to be writable, so a
  // refused call never takes a value over.
  template <typename MakeNode>
  bool Set(const CefString& key, MakeNode make) {
    if (!handle_.CanModify())
      return false;
    ValueNodePtr node = make();
    if (!node)
      return false;
    ValueNodePtr& slot = entries()[key.ToString()];
    if (slot)
      MarkDetached(slot.get());
    slot = std::move(node);
    return true;
  }

  ValueHandle handle_;

  IMPLEMENT_REFCOUNTING(DictionaryValueImpl);
};

class ListValueImpl : public CefListValue {
 public:
  ListValueImpl(ValueNodePtr node,
                ValueControllerPtr controller,
                ValueOwnership ownership,
                bool read_only)
      : handle_(std::move(node), std::move(controller), ownership, read_only) {}
  ListValueImpl(const ListValueImpl&) = delete;
  ListValueImpl& operator=(const ListValueImpl&) = delete;

  static CefRefPtr<CefListValue> CreateRoot(ValueNodePtr node) {
    return new ListValueImpl(std::move(node),
                             std::make_shared<ValueController>(),
                             ValueOwnership::kRoot, false);
  }

  ValueHandle& handle() { return handle_; }

  // CefListValue methods:
  bool IsValid() override { return handle_.IsValid(); }
  bool IsOwned() override { return handle_.IsOwned(); }
  bool IsReadOnly() override { return handle_.IsReadOnly(); }
  bool IsSame(CefRefPtr<CefListValue> that) override {
    return VerifyThat(that, "CefListValue::IsSame") &&
           handle_.IsSame(HandleOf<ListValueImpl>(that));
  }
  bool IsEqual(CefRefPtr<CefListValue> that) override {
    return VerifyThat(that, "CefListValue::IsEqual") &&
           handle_.IsEqual(HandleOf<ListValueImpl>(that));
  }
  CefRefPtr<CefListValue> Copy() override {
    if (!handle_.IsValid())
      return nullptr;
    return CreateRoot(DeepCopyValueNode(handle_.node()));
  }
  bool SetSize(size_t size) override {
    if (!handle_.CanModify())
      return false;
    if (size > kMaxListSize)
      return RefuseSize("size", size);
    std::vector<ValueNodePtr>& list = entries();
    for (size_t i = size; i < list.size(); ++i)
      MarkDetached(list[i].get());
    list.resize(size, MakeNull());
    return true;
  }
  size_t GetSize() override { return handle_.IsValid() ? entries().size() : 0; }
  bool Clear() override { return SetSize(0); }
  bool Remove(size_t index) override {
    if (!handle_.CanModify() || index >= entries().size())
      return false;
    MarkDetached(entries()[index].get());
    entries().erase(entries().begin() + index);
    return true;
  }
  CefValueType GetType(size_t index) override { return ReadType(Find(index)); }
  bool GetBool(size_t index) override { return ReadBool(Find(index)); }
  int GetInt(size_t index) override { return ReadInt(Find(index)); }
  double GetDouble(size_t index) override { return ReadDouble(Find(index)); }
  CefString GetString(size_t index) override { return ReadString(Find(index)); }
  CefRefPtr<CefBinaryValue> GetBinary(size_t index) override {
    const ValueNodePtr* node = OfType(Find(index), VTYPE_BINARY);
    return node ? handle_.Reference<BinaryValueImpl>(*node) : nullptr;
  }
  CefRefPtr<CefDictionaryValue> GetDictionary(size_t index) override {
    const ValueNodePtr* node = OfType(Find(index), VTYPE_DICTIONARY);
    return node ? handle_.Reference<DictionaryValueImpl>(*node) : nullptr;
  }
  CefRefPtr<CefListValue> GetList(size_t index) override {
    const ValueNodePtr* node = OfType(Find(index), VTYPE_LIST);
    return node ? handle_.Reference<ListValueImpl>(*node) : nullptr;
  }
  // CefValue, the variant wrapper, is not played.
  CefRefPtr<CefValue> GetValue(size_t) override {
    NotImplemented("CefListValue::GetValue");
  }
  bool SetValue(size_t, CefRefPtr<CefValue>) override {
    NotImplemented("CefListValue::SetValue");
  }
  bool SetNull(size_t index) override {
    return Set(index, [] { return MakeNull(); });
  }
  bool SetBool(size_t index, bool value) override {
    return Set(index, [value] { return MakeBool(value); });
  }
  bool SetInt(size_t index, int value) override {
    return Set(index, [value] { return MakeInt(value); });
  }
  bool SetDouble(size_t index, double value) override {
    return Set(index, [value] { return MakeDouble(value); });
  }
  bool SetString(size_t index, const CefString& value) override {
    return Set(index, [&value] { return MakeString(value); });
  }
  bool SetBinary(size_t index, CefRefPtr<CefBinaryValue> value) override {
    return VerifyValue(value, "CefListValue::SetBinary") && Set(index, [&] {
             return AdoptValue<BinaryValueImpl>(value,
                                                handle_.controller().get());
           });
  }
  bool SetDictionary(size_t index,
                     CefRefPtr<CefDictionaryValue> value) override {
    return VerifyValue(value, "CefListValue::SetDictionary") && Set(index, [&] {
             return AdoptValue<DictionaryValueImpl>(value,
                                                    handle_.controller().get());
           });
  }
  bool SetList(size_t index, CefRefPtr<CefListValue> value) override {
    return VerifyValue(value, "CefListValue::SetList") && Set(index, [&] {
             return AdoptValue<ListValueImpl>(value,
                                              handle_.controller().get());
           });
  }

 private:
  std::vector<ValueNodePtr>& entries() const {
    return handle_.node().list_value();
  }

  const ValueNodePtr* Find(size_t index) const {
    if (!handle_.IsValid() || index >= entries().size())
      return nullptr;
    return &entries()[index];
  }

  static bool RefuseSize(const char* what, size_t value) {
    LOG(ERROR) << "CefListValue: " << what << " " << value
               << " is over the stand-in's limit of " << kMaxListSize;
    return false;
  }

  // Setting past the end pads with nulls, as base::ListValue::Set does. The
  // padding shares one null node, which is safe because scalars never
  // change in place.
  template <typename MakeNode>
  bool Set(size_t index, MakeNode make) {
    if (!handle_.CanModify())
      return false;
    if (index >= kMaxListSize)
      return RefuseSize("index", index);
    ValueNodePtr node = make();
    if (!node)
      return false;
    std::vector<ValueNodePtr>& list = entries();
    if (index >= list.size()) {
      // Appending (the common case) needs no padding node.
      if (index > list.size())
        list.resize(index, MakeNull());
      list.push_back(std::move(node));
      return true;
    }
    MarkDetached(list[index].get());
    list[index] = std::move(node);
    return true;
  }

  ValueHandle handle_;

  IMPLEMENT_REFCOUNTING(ListValueImpl);
};

CefRefPtr<CefListValue> DictionaryValueImpl::GetList(const CefString& key) {
  const ValueNodePtr* node =
      OfType(Find(key, "CefDictionaryValue::GetList"), VTYPE_LIST);
  return node ? handle_.Reference<ListValueImpl>(*node) : nullptr;
}

bool DictionaryValueImpl::SetList(const CefString& key,
                                  CefRefPtr<CefListValue> value) {
  return VerifyKey(key, "CefDictionaryValue::SetList") &&
         VerifyValue(value, "CefDictionaryValue::SetList") && Set(key, [&] {
           return AdoptValue<ListValueImpl>(value, handle_.controller().get());
         });
}

}  // namespace

ValueNode::ValueNode(CefValueType type) : type(type) {
  switch (type) {
    case VTYPE_BOOL:
      data = false;
      break;
    case VTYPE_INT:
      data = 0;
      break;
    case VTYPE_DOUBLE:
      data = 0.0;
      break;
    case VTYPE_STRING:
      data = std::string();
      break;
    case VTYPE_BINARY:
      data = Binary();
      break;
    case VTYPE_LIST:
      data = List();
      break;
    case VTYPE_DICTIONARY:
      data = Dictionary();
      break;
    default:
      break;
  }
}

namespace {

// Scalar nodes never change, and no reference can point at one: the copy
// shares them.
ValueNodePtr CopyChild(const ValueNodePtr& child) {
  return IsContainerOrBinary(child->type) ? DeepCopyValueNode(*child) : child;
}

}  // namespace

ValueNodePtr DeepCopyValueNode(const ValueNode& node) {
  auto copy = std::make_shared<ValueNode>(node.type);
  if (const auto* list = std::get_if<ValueNode::List>(&node.data)) {
    ValueNode::List& copied = copy->list_value();
    copied.reserve(list->size());
    for (const ValueNodePtr& child : *list)
      copied.push_back(CopyChild(child));
  } else if (const auto* dictionary =
                 std::get_if<ValueNode::Dictionary>(&node.data)) {
    ValueNode::Dictionary& copied = copy->dictionary_value();
    // In key order, so every insertion goes at the end.
    for (const auto& entry : *dictionary)
      copied.emplace_hint(copied.end(), entry.first, CopyChild(entry.second));
  } else {
    copy->data = node.data;
  }
  return copy;
}

CefRefPtr<CefDictionaryValue> CreateReadOnlyDictionary() {
  return new DictionaryValueImpl(std::make_shared<ValueNode>(VTYPE_DICTIONARY),
                                 std::make_shared<ValueController>(),
                                 ValueOwnership::kRoot, /*read_only=*/true);
}

CefRefPtr<CefListValue> WrapListValue(ValueNodePtr node,
                                      ValueControllerPtr controller,
                                      ValueOwnership ownership,
                                      bool read_only) {
  return new ListValueImpl(std::move(node), std::move(controller), ownership,
                           read_only);
}

}  // namespace internal
}  // namespace standin

// CEF refuses an empty binary value.
CefRefPtr<CefBinaryValue> CefBinaryValue::Create(const void* data,
                                                 size_t data_size) {
  if (!standin::internal::VerifyParam(data != nullptr, "CefBinaryValue::Create",
                                      "data")) {
    return nullptr;
  }
  if (!data || data_size == 0)
    return nullptr;
  using standin::internal::ValueNode;
  auto node = std::make_shared<ValueNode>(VTYPE_BINARY);
  const auto* bytes = static_cast<const unsigned char*>(data);
  node->binary_value().assign(bytes, bytes + data_size);
  return standin::internal::BinaryValueImpl::CreateRoot(std::move(node));
}

CefRefPtr<CefDictionaryValue> CefDictionaryValue::Create() {
  using standin::internal::ValueNode;
  return standin::internal::DictionaryValueImpl::CreateRoot(
      std::make_shared<ValueNode>(VTYPE_DICTIONARY));
}

CefRefPtr<CefListValue> CefListValue::Create() {
  using standin::internal::ValueNode;
  return standin::internal::ListValueImpl::CreateRoot(
      std::make_shared<ValueNode>(VTYPE_LIST));
}
