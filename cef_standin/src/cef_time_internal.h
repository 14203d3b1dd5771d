// Calendar arithmetic, written once for CEF's C time API (cef_time.cc) and
// for V8 dates (v8_engine_value.cc): the proleptic Gregorian calendar in
// UTC, computed without the C library, so no time zone or time_t range
// enters.
#ifndef CEF_STANDIN_SRC_CEF_TIME_INTERNAL_H_
#define CEF_STANDIN_SRC_CEF_TIME_INTERNAL_H_

#include "include/internal/cef_types_wrappers.h"

namespace standin {
namespace internal {

constexpr int64 kMsPerDay = 24 * 60 * 60 * 1000;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's
// algorithm), so dates need no time-zone aware C library.
int64 DaysFromCivil(int64 year, int64 month, int64 day);

// The UTC fields of |ms| milliseconds since 1970-01-01, rounded down: any
// value base::Time can hold (about 290,000 years either way).
cef_time_t CivilFromMs(int64 ms);

// A V8 Date's time value as CEF's fields: all zero when it is NaN or beyond
// the range of a Date, as CEF gives.
CefTime TimeFromMs(double time_ms);

// CEF's fields as a V8 Date's time value, unchecked: V8 makes an invalid
// date of what no Date can hold.
double MsFromTime(const CefTime& time);

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_CEF_TIME_INTERNAL_H_
