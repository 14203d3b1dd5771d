// Names and layouts of the process messages between the renderer and the
// host's browser process, and the keys of the bindings dictionary. Every
// sender, receiver and test uses these.
#ifndef QUILLMOSS_COMMON_PROCESS_MESSAGES_H_
#define QUILLMOSS_COMMON_PROCESS_MESSAGES_H_

#include <cstddef>

namespace quillmoss {

// Browser process -> renderer.
// [0] dictionary: the bindings of the browser the message came through.
constexpr char kDoJavascriptBindingsMessage[] = "DoJavascriptBindings";
// [0] int: callback id; [1..] the arguments of the JavaScript call.
constexpr char kExecuteJavascriptCallbackMessage[] =
    "ExecuteJavascriptCallback";

// Renderer -> browser process.
// No arguments: the frame the message arrives through is the news.
constexpr char kOnContextCreatedMessage[] = "OnContextCreated";
constexpr char kOnContextReleasedMessage[] = "OnContextReleased";
// [0] int: host callback id; [1] list: the call's converted arguments.
constexpr char kExecutePythonCallbackMessage[] = "ExecutePythonCallback";
// [0] string: bound function name; [1] list: the converted arguments.
constexpr char kV8FunctionHandlerExecuteMessage[] =
    "V8FunctionHandler::Execute";

// Argument positions.
constexpr int kBindingsIndex = 0;
constexpr int kCallbackIdIndex = 0;
constexpr int kHostCallbackIdIndex = 0;
constexpr int kFunctionNameIndex = 0;
constexpr int kCallArgumentsIndex = 1;

// Keys of the bindings dictionary.
constexpr char kBindToFramesKey[] = "bindToFrames";
constexpr char kFunctionsKey[] = "functions";
constexpr char kPropertiesKey[] = "properties";
constexpr char kObjectsKey[] = "objects";

// A JavaScript function travelling to the host: the marker, then a JSON
// object naming the callback id, the frame and the function.
constexpr char kCallbackDescriptorMarker[] = "####quillmoss####";

// A host callback travelling to the renderer: a binary value of exactly this
// size whose first four bytes hold the id, little-endian.
constexpr size_t kHostCallbackBinarySize = 20;
constexpr char kHostCallbackFunctionPrefix[] = "python_callback_";

// Deepest nesting level that the value conversions accept.
constexpr int kMaxNestingLevel = 8;

// Entries that one conversion may write, in either direction: the arguments
// of one page call, one installation's properties, one callback's
// arguments. Shared references unroll to the nesting limit once per
// reference, so a small page value can stand for millions of entries (an
// array holding itself six times: about two million, ten million lines).
// Past this many the rest is left out of what goes to the host and null in
// what goes to the page, with one line for the call. No real payload comes
// near it, and at a few hundred bytes an entry in the worst shapes a 32-bit
// renderer stays far below 1 GB.
constexpr int kMaxConversionEntries = 1 << 20;
// A text copied (a string value, a dictionary key, a function's callback
// descriptor) takes one entry more for every this many UTF-16 units, so
// about 64 million characters fit in one call.
constexpr int kStringUnitsPerEntry = 64;

// Longest page array that becomes a list for the host; a longer one arrives
// as an empty list without a single element read. It could never arrive
// whole under the entry limit, and a sparse array costs the page nothing
// whatever its length.
constexpr int kMaxArrayLength = kMaxConversionEntries;

}  // namespace quillmoss

#endif  // QUILLMOSS_COMMON_PROCESS_MESSAGES_H_
