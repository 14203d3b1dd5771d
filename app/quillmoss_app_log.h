// The log source name of every file of the application unit (the handlers,
// message dispatch, the bindings store, frame choice and installation): one
// unit, one name in the host's logs, whichever file a line comes from.
#ifndef QUILLMOSS_APP_QUILLMOSS_APP_LOG_H_
#define QUILLMOSS_APP_QUILLMOSS_APP_LOG_H_

namespace quillmoss {

constexpr char kLogSource[] = "quillmoss_app";

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_QUILLMOSS_APP_LOG_H_
