// CEF's C time API (include/internal/cef_time.h) as CEF 81's framework
// library answers it, through Chromium's base::Time: an int64 count of
// microseconds since 1601-01-01 UTC, in which 0 is the null time.
//
// - Fields become a time only when each is in its range and together they
//   name an instant that int64 microseconds hold; otherwise they are the
//   null time, which converts to 0 (time_t) and 0.0 (double).
// - time_t 0 and double 0 or NaN are the null time, whose fields are
//   1601-01-01 00:00:00.000, a Monday. Those fields are the null time again,
//   so they convert to 0 as well.
// - time_t drops the fraction of a second toward zero.
// - From time_t and double, what int64 microseconds cannot hold becomes the
//   nearest end of that range.
//
// Years are those of 64-bit Linux (about 290,000 either side of 1970) on
// every platform. Chromium on Windows takes the fields of the years
// 1601-30827 only (SYSTEMTIME's), and on 32-bit POSIX only what time_t
// holds; a time_t result is clamped to time_t's range here instead.
//
// A null pointer argument, where CEF hits NOTREACHED(), is a misuse line and
// a 0 return.
#include <chrono>
#include <cmath>
#include <limits>
#include <string>

#include "cef_standin/src/cef_time_internal.h"
#include "cef_standin/src/renderer_internal.h"
#include "include/internal/cef_time.h"

namespace standin {
namespace internal {

int64 DaysFromCivil(int64 year, int64 month, int64 day) {
  year -= month <= 2;
  const int64 era = (year >= 0 ? year : year - 399) / 400;
  const int64 year_of_era = year - era * 400;
  const int64 day_of_year =
      (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64 day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

cef_time_t CivilFromMs(int64 ms) {
  int64 days = ms / kMsPerDay;
  int64 ms_of_day = ms % kMsPerDay;
  if (ms_of_day < 0) {
    ms_of_day += kMsPerDay;
    --days;
  }
  const int64 z = days + 719468;
  const int64 era = (z >= 0 ? z : z - 146096) / 146097;
  const int64 day_of_era = z - era * 146097;
  const int64 year_of_era = (day_of_era - day_of_era / 1460 +
                             day_of_era / 36524 - day_of_era / 146096) /
                            365;
  const int64 day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64 mp = (5 * day_of_year + 2) / 153;
  const int64 day = day_of_year - (153 * mp + 2) / 5 + 1;
  const int64 month = mp < 10 ? mp + 3 : mp - 9;
  cef_time_t time = {};
  time.year = static_cast<int>(year_of_era + era * 400 + (month <= 2));
  time.month = static_cast<int>(month);
  time.day_of_month = static_cast<int>(day);
  time.day_of_week = static_cast<int>(((days % 7) + 11) % 7);  // 1970: Thu
  time.hour = static_cast<int>(ms_of_day / 3600000);
  time.minute = static_cast<int>(ms_of_day / 60000 % 60);
  time.second = static_cast<int>(ms_of_day / 1000 % 60);
  time.millisecond = static_cast<int>(ms_of_day % 1000);
  return time;
}

CefTime TimeFromMs(double time_ms) {
  // Beyond what a Date can hold (or NaN): the zero time, as CEF gives.
  if (!std::isfinite(time_ms) || std::fabs(time_ms) > 8.64e15)
    return CefTime();
  return CefTime(CivilFromMs(static_cast<int64>(std::floor(time_ms))));
}

double MsFromTime(const CefTime& time) {
  // In double: the fields are the caller's and may be anything, and far
  // years would overflow int64 milliseconds. V8 turns what no Date can hold
  // into an invalid date.
  const int64 days = DaysFromCivil(time.year, time.month, time.day_of_month);
  return static_cast<double>(days) * kMsPerDay + time.hour * 3600000.0 +
         time.minute * 60000.0 + time.second * 1000.0 + time.millisecond;
}

}  // namespace internal
}  // namespace standin

namespace {

using standin::internal::CivilFromMs;
using standin::internal::DaysFromCivil;

constexpr int64 kInt64Max = std::numeric_limits<int64>::max();
constexpr int64 kInt64Min = std::numeric_limits<int64>::min();
constexpr int64 kUsPerMs = 1000;
constexpr int64 kUsPerSecond = 1000000;
// 1970-01-01 as a base::Time: 134,774 days after 1601-01-01.
constexpr int64 kUnixEpochUs = 11644473600000000;
constexpr int64 kNullTime = 0;

bool CheckedMultiply(int64 a, int64 positive_b, int64* result) {
  if (a > kInt64Max / positive_b || a < kInt64Min / positive_b)
    return false;
  *result = a * positive_b;
  return true;
}

bool CheckedAdd(int64 a, int64 b, int64* result) {
  if (b > 0 ? a > kInt64Max - b : a < kInt64Min - b)
    return false;
  *result = a + b;
  return true;
}

bool CheckedSubtract(int64 a, int64 b, int64* result) {
  if (b < 0 ? a > kInt64Max + b : a < kInt64Min + b)
    return false;
  *result = a - b;
  return true;
}

// The Unix epoch plus a TimeDelta, saturating as base::Time does: a delta
// at an end of int64 counts as infinite and stays there.
int64 SinceUnixEpoch(int64 delta_us) {
  if (delta_us == kInt64Max || delta_us == kInt64Min)
    return delta_us;
  int64 time = kInt64Max;
  // Only a positive delta can overflow: the epoch itself is positive.
  CheckedAdd(kUnixEpochUs, delta_us, &time);
  return time;
}

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

int DaysInMonth(int64 year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Time::FromUTCExploded(): the fields must pass Chromium's range check and
// then survive its round trip through timegm(), which carries a day past the
// end of its month into the next month and a leap second into the next
// minute. The day of the week is only range-checked.
int64 TimeFromFields(const cef_time_t& fields) {
  if (!InRange(fields.month, 1, 12) || !InRange(fields.day_of_week, 0, 6) ||
      !InRange(fields.day_of_month, 1, 31) || !InRange(fields.hour, 0, 23) ||
      !InRange(fields.minute, 0, 59) || !InRange(fields.second, 0, 60) ||
      !InRange(fields.millisecond, 0, 999)) {
    return kNullTime;
  }
  if (fields.day_of_month > DaysInMonth(fields.year, fields.month) ||
      fields.second == 60) {
    return kNullTime;
  }
  // No overflow: an int year keeps the seconds below 2^57.
  const int64 seconds =
      DaysFromCivil(fields.year, fields.month, fields.day_of_month) * 86400 +
      fields.hour * 3600 + fields.minute * 60 + fields.second;
  int64 ms = 0;
  int64 us = 0;
  if (!CheckedMultiply(seconds, 1000, &ms) ||
      !CheckedAdd(ms, fields.millisecond, &ms) ||
      !CheckedMultiply(ms, kUsPerMs, &us) ||
      !CheckedAdd(us, kUnixEpochUs, &us)) {
    return kNullTime;
  }
  return us;
}

// Time::UTCExplode(), which rounds down to the millisecond. Computed apart
// from the epoch's offset, which could take |us| out of int64.
cef_time_t FieldsFromTime(int64 us) {
  const int64 ms =
      us / kUsPerMs - kUnixEpochUs / kUsPerMs - (us % kUsPerMs < 0 ? 1 : 0);
  return CivilFromMs(ms);
}

// Time::FromTimeT(): time_t's largest value is the end of time.
int64 TimeFromTimeT(time_t time) {
  if (time == 0)
    return kNullTime;
  if (time == std::numeric_limits<time_t>::max())
    return kInt64Max;
  int64 us = time > 0 ? kInt64Max : kInt64Min;
  CheckedMultiply(time, kUsPerSecond, &us);
  return SinceUnixEpoch(us);
}

// Time::FromDoubleT(): the microseconds are truncated toward zero and
// saturate at int64's ends.
int64 TimeFromDoubleT(double time) {
  if (time == 0 || std::isnan(time))
    return kNullTime;
  const double us = time * kUsPerSecond;
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (us >= kTwoTo63)
    return SinceUnixEpoch(kInt64Max);
  if (us <= -kTwoTo63)
    return SinceUnixEpoch(kInt64Min);
  return SinceUnixEpoch(static_cast<int64>(us));
}

// Time::ToTimeT() of a time made from fields (so |us| - the epoch stays in
// int64). Chromium's overflow guard gives the largest time_t for the last
// 369 years of base::Time's range.
time_t TimeTFromTime(int64 us) {
  if (us == kNullTime)
    return 0;
  const int64 seconds = us >= kInt64Max - kUnixEpochUs
                            ? kInt64Max
                            : (us - kUnixEpochUs) / kUsPerSecond;
  if (seconds > std::numeric_limits<time_t>::max())
    return std::numeric_limits<time_t>::max();
  if (seconds < std::numeric_limits<time_t>::min())
    return std::numeric_limits<time_t>::min();
  return static_cast<time_t>(seconds);
}

// Time::ToDoubleT() of a time made from fields.
double DoubleTFromTime(int64 us) {
  if (us == kNullTime)
    return 0;
  return static_cast<double>(us - kUnixEpochUs) / kUsPerSecond;
}

int NullArgument(const char* function) {
  standin::internal::RendererMisuse(std::string(function) +
                                    ": a pointer argument is null");
  return 0;
}

}  // namespace

int cef_time_to_timet(const cef_time_t* cef_time, time_t* time) {
  if (!cef_time || !time)
    return NullArgument(__func__);
  *time = TimeTFromTime(TimeFromFields(*cef_time));
  return 1;
}

int cef_time_from_timet(time_t time, cef_time_t* cef_time) {
  if (!cef_time)
    return NullArgument(__func__);
  *cef_time = FieldsFromTime(TimeFromTimeT(time));
  return 1;
}

int cef_time_to_doublet(const cef_time_t* cef_time, double* time) {
  if (!cef_time || !time)
    return NullArgument(__func__);
  *time = DoubleTFromTime(TimeFromFields(*cef_time));
  return 1;
}

int cef_time_from_doublet(double time, cef_time_t* cef_time) {
  if (!cef_time)
    return NullArgument(__func__);
  *cef_time = FieldsFromTime(TimeFromDoubleT(time));
  return 1;
}

int cef_time_now(cef_time_t* cef_time) {
  if (!cef_time)
    return NullArgument(__func__);
  const auto since_1970 = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  *cef_time = FieldsFromTime(kUnixEpochUs + since_1970.count());
  return 1;
}

int cef_time_delta(const cef_time_t* cef_time1,
                   const cef_time_t* cef_time2,
                   long long* delta) {
  if (!cef_time1 || !cef_time2 || !delta)
    return NullArgument(__func__);
  // Times from fields are whole milliseconds. Chromium's subtraction
  // overflows between the far ends of the range; it saturates here.
  const int64 time1 = TimeFromFields(*cef_time1);
  const int64 time2 = TimeFromFields(*cef_time2);
  int64 difference = 0;
  if (!CheckedSubtract(time2, time1, &difference)) {
    *delta = time2 > time1 ? std::numeric_limits<long long>::max()
                           : std::numeric_limits<long long>::min();
    return 1;
  }
  *delta = difference / kUsPerMs;
  return 1;
}
