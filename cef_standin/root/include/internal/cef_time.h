// A moment as CEF's C API passes it: UTC calendar fields, and the framework
// library's conversions of them to and from time_t and seconds since 1970,
// the current time and the distance between two moments. Implemented in
// src/cef_time.cc.
#ifndef CEF_INCLUDE_INTERNAL_CEF_TIME_H_
#define CEF_INCLUDE_INTERNAL_CEF_TIME_H_

#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

// Always UTC. |month| and |day_of_month| count from 1, |day_of_week| from
// Sunday (0); |second| reaches 60 only for a leap second.
typedef struct _cef_time_t {
  int year;
  int month;
  int day_of_week;
  int day_of_month;
  int hour;
  int minute;
  int second;
  int millisecond;
} cef_time_t;

// Each function answers 1 once it has written its output; 0 means a pointer
// argument was null and nothing was written.

// Whole seconds since 1970-01-01 00:00:00 UTC.
int cef_time_to_timet(const cef_time_t* cef_time, time_t* time);
int cef_time_from_timet(time_t time, cef_time_t* cef_time);

// Seconds since 1970-01-01 00:00:00 UTC with their fraction, as WebKit keeps
// time; 0 stands for a time that was never set.
int cef_time_to_doublet(const cef_time_t* cef_time, double* time);
int cef_time_from_doublet(double time, cef_time_t* cef_time);

int cef_time_now(cef_time_t* cef_time);

// |*delta| is |cef_time2| minus |cef_time1| in milliseconds.
int cef_time_delta(const cef_time_t* cef_time1,
                   const cef_time_t* cef_time2,
                   long long* delta);

#ifdef __cplusplus
}
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_TIME_H_
