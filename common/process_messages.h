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

// Longest page array that becomes a list for the host; a longer one arrives
// as an empty list. A list much longer could not reach the browser process
// anyway: Chromium refuses IPC messages over 128 MB.
constexpr int kMaxArrayLength = 1 << 24;

}  // namespace quillmoss

#endif  // QUILLMOSS_COMMON_PROCESS_MESSAGES_H_
