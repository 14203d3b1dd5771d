#ifndef CEF_INCLUDE_INTERNAL_CEF_TYPES_LINUX_H_
#define CEF_INCLUDE_INTERNAL_CEF_TYPES_LINUX_H_

// Xlib's connection to an X server; CEF hands out pointers to it only.
typedef struct _XDisplay XDisplay;

#ifdef __cplusplus
extern "C" {
#endif

// The X display that the browser process's UI thread shares with Chromium.
// The stand-in has none (src/platform.cc).
XDisplay* cef_get_xdisplay();

typedef struct _cef_main_args_t {
  int argc;
  char** argv;
} cef_main_args_t;

#ifdef __cplusplus
}
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_TYPES_LINUX_H_
