#ifndef CEF_INCLUDE_BASE_CEF_MACROS_H_
#define CEF_INCLUDE_BASE_CEF_MACROS_H_

#define DISALLOW_COPY_AND_ASSIGN(TypeName) \
  TypeName(const TypeName&) = delete;      \
  void operator=(const TypeName&) = delete

#define ALLOW_UNUSED_LOCAL(x) (void)x

#endif  // CEF_INCLUDE_BASE_CEF_MACROS_H_
