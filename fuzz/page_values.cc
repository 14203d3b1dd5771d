#include "fuzz/page_values.h"

#include <cstdint>
#include <string>

namespace fuzz {
namespace {

// Past the nesting limit of 8, so that every depth check is reached.
constexpr int kMaxDepth = 12;
// Enough for several containers with accessors; a value's cost to convert
// grows with its cycles, so each cycle holds a leaf only.
constexpr int kMaxNodes = 40;
constexpr int kMaxEntries = 4;

// Keys that mean something to the page, to V8 or to the conversion: array
// indices as text, the empty key (left out), a prototype's name, keys that
// begin with the callback descriptor's marker (left out) or hold it further
// in (data).
const char* const kKeys[] = {"a",
                             "b",
                             "k0",
                             "0",
                             "1",
                             "2",
                             "4294967295",
                             "",
                             "__proto__",
                             "constructor",
                             "then",
                             "\\u00e9",
                             "####quillmoss####",
                             "####quillmoss####a",
                             "a####quillmoss####"};

const char* const kLeaves[] = {
    "0",
    "-1",
    "2147483647",
    "2147483648",
    "4294967295",
    "4294967296",
    "0.5",
    "-0",
    "NaN",
    "Infinity",
    "null",
    "undefined",
    "true",
    "'text'",
    "'\\ud800'",
    "Symbol('s')",
    "10n",
    "-(2n ** 70n)",
    "Object(1n)",
    "Object(Symbol('s'))",
    // Texts the host could take for a function's descriptor (null), and the
    // marker where it is data.
    "'####quillmoss####'",
    ("'####quillmoss####{\"what\":\"javascript-callback\",\"callbackId\":1,"
     "\"frameId\":1,\"functionName\":\"f\"}'"),
    "' ####quillmoss####'",
    "'#####quillmoss####'",
    // Past the array-length limit, and past 2^24 elements, where CEF's own
    // key listing aborts the renderer. One buffer and one text per page.
    "new Uint8Array(bigBuffer())",
    "new Uint8Array(bigBuffer(), 0, 2 ** 20 + 1)",
    "new Float64Array(bigBuffer(), 0, 2 ** 21)",
    "new String(bigText())",
    "new Date(5)",
    "new Date(NaN)",
    "new Uint8Array(3)",
    "new Float64Array([1.5, -0])",
    "new ArrayBuffer(4)",
    "function leaf() {}",
    "() => 1",
    "class Leaf {}",
    "async function asyncLeaf() {}",
    "function* generatorLeaf() {}",
    "(function () {}).bind(null)",
    "new Map([[1, 2]])",
    "new Set([1])",
    "/re/g",
    "new Error('e')",
    "Object.create(null)",
    "new (class Leaf { constructor() { this.x = 1; } })()",
    // What the host gave the page, passed back: bound functions, methods,
    // host callbacks.
    "pick(0)",
    "pick(1)",
    "pick(2)",
    // Functions kept by earlier actions, maybe of a page that went since.
    "pageValues.kept[0]",
    "pageValues.kept[pageValues.kept.length - 1]",
};

// Targets of callable Proxies.
const char* const kFunctions[] = {"function proxied() {}",
                                  "() => 1",
                                  "class Proxied {}",
                                  "(function bound() {}).bind(null)",
                                  "pick(0) || function none() {}",
                                  "new Proxy(function inner() {}, {})"};

template <size_t N>
const char* Choose(FuzzedDataProvider& data, const char* const (&table)[N]) {
  return table[data.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

}  // namespace

const char kPageValuesPrelude[] =
    "const pageValues = globalThis.__pageValues || (globalThis.__pageValues "
    "= {kept: [], calls: 0});"
    // A re-entrant call converts values whose accessors call again: a
    // budget per page keeps that finite.
    "const callAgain = (...a) => { if (pageValues.calls++ > 24) return; "
    "const t = pick(pageValues.calls); return t && t(...a); };"
    // Views of it cost no copy: a typed array per value would be 16 MB each.
    "const bigBuffer = () => pageValues.buffer || "
    "(pageValues.buffer = new ArrayBuffer(2 ** 24 + 1));"
    "const bigText = () => pageValues.text || "
    "(pageValues.text = 'x'.repeat(2 ** 24 + 1));";

std::string PageValueGrammar::Node(int depth) {
  ++nodes_;
  if (depth >= kMaxDepth || nodes_ >= kMaxNodes)
    return Leaf();
  switch (data_.ConsumeEnum<Kind>()) {
    case Kind::kLeaf:
      return Leaf();
    case Kind::kArray:
      return Array(depth);
    case Kind::kObject:
      return Object(depth);
    case Kind::kProxiedObject:
      return Proxied(Object(depth), Key());
    case Kind::kProxiedArray: {
      // As a state library keeps a page's arrays: the conversion reads its
      // "length" and its elements through the traps.
      const std::string target = Array(depth);
      return Proxied(
          target,
          data_.ConsumeBool()
              ? std::string("'length'")
              : "'" + std::to_string(data_.ConsumeIntegralInRange(0, 4)) + "'");
    }
    case Kind::kCycle:
      // One self-reference around a leaf: it unrolls to the nesting limit,
      // and more of them would multiply (see README).
      return "(() => { const c = [" + Leaf() + "]; c.push(c); return c; })()";
    case Kind::kCallableProxy:
      // Named by its "name" read as data through the traps; the host may
      // call it back through the apply trap.
      return Proxied(Choose(data_, kFunctions), "'name'", /*callable=*/true);
    case Kind::kRevokedProxy: {
      // Every trap throws: no key listing, no Array.isArray, no name.
      std::string target;
      switch (data_.ConsumeIntegralInRange(0, 2)) {
        case 0:
          target = Object(depth);
          break;
        case 1:
          target = Array(depth);
          break;
        default:
          target = "function revoked() {}";
          break;
      }
      return "(() => { const r = Proxy.revocable(" + target +
             ", {}); r.revoke(); return r.proxy; })()";
    }
  }
  return "null";
}

std::string PageValueGrammar::Leaf() {
  switch (data_.ConsumeIntegralInRange(0, 7)) {
    case 0: {
      // A long string, or a function with a long name: texts the entry
      // budget pays for.
      const std::string length =
          std::to_string(data_.ConsumeIntegralInRange(0, 1 << 12));
      if (data_.ConsumeBool())
        return "'s'.repeat(" + length + ")";
      return "(() => { const n = 'f'.repeat(" + length +
             "); return {[n]: function () {}}[n]; })()";
    }
    case 1:
      return std::to_string(data_.ConsumeIntegral<int32_t>());
    default:
      return Choose(data_, kLeaves);
  }
}

std::string PageValueGrammar::Key() {
  if (data_.ConsumeIntegralInRange(0, 7) == 0) {
    return "'k'.repeat(" +
           std::to_string(data_.ConsumeIntegralInRange(1, 1 << 10)) + ")";
  }
  return std::string("'") + Choose(data_, kKeys) + "'";
}

std::string PageValueGrammar::FrameToRemove() {
  removes_frames_ = true;
  switch (data_.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return frames_.own;
    case 1:
      return frames_.parent;
    case 2:
      return frames_.sibling;
    default:
      return frames_.child;
  }
}

std::string PageValueGrammar::Action(const std::string& container,
                                     bool nested) {
  switch (data_.ConsumeIntegralInRange(0, nested ? 7 : 10)) {
    case 0:
    case 1:
      return "removeFrame(" + FrameToRemove() + ");";
    case 2:
      return "throw new Error('action');";
    case 3:
      // The container being read changes under the conversion.
      return "Array.isArray(" + container + ") ? " + container +
             ".push(1, 2) : (" + container + "[" + Key() + "] = 1);";
    case 4:
      return "Array.isArray(" + container + ") ? (" + container +
             ".length = 0) : delete " + container + "[" + Key() + "];";
    case 5:
      return "Object.defineProperty(" + container + ", " + Key() +
             ", {configurable: true, enumerable: true, get() { removeFrame(" +
             FrameToRemove() + "); return 1; }});";
    case 6:
      return "callAgain(" + Leaf() + ", " + Leaf() + ");";
    case 7:
      return "pageValues.kept.push(function kept() { " +
             std::string(data_.ConsumeBool()
                             ? "removeFrame(" + FrameToRemove() + ");"
                             : "") +
             "});";
    default: {
      // Accessors on the prototypes: every later array or object, host
      // made or the page's, reads or assigns through them.
      const std::string prototype =
          data_.ConsumeBool() ? "Array.prototype" : "Object.prototype";
      const std::string key = Key();
      if (data_.ConsumeIntegralInRange(0, 3) == 0)
        return "delete " + prototype + "[" + key + "];";
      return "Object.defineProperty(" + prototype + ", " + key +
             ", {configurable: true, enumerable: " +
             (data_.ConsumeBool() ? "true" : "false") + ", get() { " +
             Action("this", true) + " }, set(v) { " + Action("this", true) +
             " }});";
    }
  }
}

std::string PageValueGrammar::Array(int depth) {
  const int count = data_.ConsumeIntegralInRange(0, kMaxEntries);
  std::string elements;
  for (int i = 0; i < count; ++i) {
    // A hole reads through Array.prototype.
    if (data_.ConsumeIntegralInRange(0, 5) != 0)
      elements += Node(depth + 1);
    elements += ", ";
  }
  std::string script = "(() => { const c = [" + elements + "];";
  switch (data_.ConsumeIntegralInRange(0, 3)) {
    case 0:
      // Sparse: a length far past the elements, small or past the limit.
      script +=
          "c.length = " +
          std::string(data_.ConsumeBool()
                          ? std::to_string(data_.ConsumeIntegralInRange(0, 16))
                      : data_.ConsumeBool() ? "2 ** 20 + 1"
                                            : "4294967295") +
          ";";
      break;
    case 1:
    case 2: {
      const std::string index =
          std::to_string(data_.ConsumeIntegralInRange(0, count));
      script += "Object.defineProperty(c, " + index +
                ", {configurable: true, enumerable: true, get() { " +
                Action("c") + " return " + Node(depth + 1) + "; }});";
      break;
    }
    default:
      break;
  }
  return script + " return c; })()";
}

std::string PageValueGrammar::Object(int depth) {
  const int count = data_.ConsumeIntegralInRange(0, kMaxEntries);
  std::string script = "(() => { const c = {};";
  for (int i = 0; i < count; ++i) {
    const std::string key = Key();
    if (data_.ConsumeIntegralInRange(0, 2) == 0) {
      script += "Object.defineProperty(c, " + key +
                ", {configurable: true, enumerable: true, get() { " +
                Action("c") + " return " + Node(depth + 1) + "; }});";
    } else {
      script += "c[" + key + "] = " + Node(depth + 1) + ";";
    }
  }
  return script + " return c; })()";
}

// The traps that a key listing or a function's name runs act too, and may
// throw: the renderer makes no call of CEF's that aborts on them.
std::string PageValueGrammar::Proxied(const std::string& target,
                                      const std::string& key,
                                      bool callable) {
  std::string handler = "{get(t, k, r) { if (k === " + key + ") { " +
                        Action("t") + " } return Reflect.get(t, k, r); }";
  const int traps = data_.ConsumeIntegralInRange(0, 7);
  if (traps & 1) {
    handler +=
        ", ownKeys(t) { " + Action("t") + " return Reflect.ownKeys(t); }";
  }
  if (traps & 2) {
    handler += ", getOwnPropertyDescriptor(t, k) { if (k === " + key + ") { " +
               Action("t") +
               " } return Reflect.getOwnPropertyDescriptor(t, k); }";
  }
  if (traps & 4) {
    handler += ", getPrototypeOf(t) { " + Action("t") +
               " return Reflect.getPrototypeOf(t); }";
  }
  if (callable && data_.ConsumeBool()) {
    handler += ", apply(t, self, a) { " + Action("t") +
               " return Reflect.apply(t, self, a); }";
  }
  const std::string proxy = "new Proxy(" + target + ", " + handler + "})";
  return data_.ConsumeIntegralInRange(0, 3) == 0
             ? "new Proxy(" + proxy + ", {})"
             : proxy;
}

}  // namespace fuzz
