// CEF's C time API in the stand-in (cef_time.cc), as Chromium's base::Time
// answers it under CEF 81: round trips through time_t and double, the null
// time, fields that make no time, month lengths, the ends of the range,
// deltas and the current time.
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "include/internal/cef_time.h"
#include "standin_core.h"

namespace {

enum Weekday { kSun, kMon, kTue, kWed, kThu, kFri, kSat };

cef_time_t Utc(int year,
               int month,
               int day,
               int hour = 0,
               int minute = 0,
               int second = 0,
               int millisecond = 0,
               int day_of_week = kSun) {
  return {year, month, day_of_week, day, hour, minute, second, millisecond};
}

// "2000-02-29 00:00:00.000 w2": every field, so a failure shows them all.
std::string Describe(const cef_time_t& time) {
  char text[96];
  std::snprintf(text, sizeof(text), "%d-%02d-%02d %02d:%02d:%02d.%03d w%d",
                time.year, time.month, time.day_of_month, time.hour,
                time.minute, time.second, time.millisecond, time.day_of_week);
  return text;
}

// What a time_t result is where time_t is narrower than the seconds (32-bit
// Linux): the nearest end of its range.
time_t Clamped(long long seconds) {
  if (seconds > std::numeric_limits<time_t>::max())
    return std::numeric_limits<time_t>::max();
  if (seconds < std::numeric_limits<time_t>::min())
    return std::numeric_limits<time_t>::min();
  return static_cast<time_t>(seconds);
}

time_t ToTimeT(const cef_time_t& time) {
  time_t result = 1;
  EXPECT_EQ(1, cef_time_to_timet(&time, &result));
  return result;
}

double ToDoubleT(const cef_time_t& time) {
  double result = 1;
  EXPECT_EQ(1, cef_time_to_doublet(&time, &result));
  return result;
}

std::string FromDoubleT(double seconds) {
  cef_time_t time = Utc(-1, -1, -1);
  EXPECT_EQ(1, cef_time_from_doublet(seconds, &time));
  return Describe(time);
}

long long Delta(const cef_time_t& first, const cef_time_t& second) {
  long long delta = 1;
  EXPECT_EQ(1, cef_time_delta(&first, &second, &delta));
  return delta;
}

const cef_time_t kNullTimeFields = Utc(1601, 1, 1, 0, 0, 0, 0, kMon);
// The first and last fields whose microseconds since 1601 fit in int64.
// Rounded down to the millisecond, int64's end is the last.
const cef_time_t kFirst = Utc(-290308, 12, 21, 19, 59, 5, 225, kSun);
const cef_time_t kLast = Utc(293878, 1, 10, 4, 0, 54, 775, kThu);

class TimeTest : public ::testing::Test {
 protected:
  void SetUp() override { misuses_ = standin::CefMisuseCount(); }
  void TearDown() override {
    EXPECT_EQ(0, standin::CefMisuseCount() - misuses_);
    standin::ClearLog();
  }
  int misuses_ = 0;
};

struct RoundTripRow {
  double seconds;
  long long time_t_seconds;  // before clamping to time_t
  cef_time_t fields;
};

TEST_F(TimeTest, TimeTAndDoubleRoundTripThroughUtcFields) {
  const std::vector<RoundTripRow> rows = {
      {1, 1, Utc(1970, 1, 1, 0, 0, 1, 0, kThu)},
      {-1, -1, Utc(1969, 12, 31, 23, 59, 59, 0, kWed)},
      {951782400, 951782400, Utc(2000, 2, 29, 0, 0, 0, 0, kTue)},
      {1582934400, 1582934400, Utc(2020, 2, 29, 0, 0, 0, 0, kSat)},
      {-2208988800, -2208988800, Utc(1900, 1, 1, 0, 0, 0, 0, kMon)},
      {2147483646, 2147483646, Utc(2038, 1, 19, 3, 14, 6, 0, kTue)},
      {-2147483648.0, -2147483648LL, Utc(1901, 12, 13, 20, 45, 52, 0, kFri)},
      {4107542400, 4107542400, Utc(2100, 3, 1, 0, 0, 0, 0, kMon)},
      {-62135596800, -62135596800, Utc(1, 1, 1, 0, 0, 0, 0, kMon)},
      {-62167219200, -62167219200, Utc(0, 1, 1, 0, 0, 0, 0, kSat)},
      {-93719030400, -93719030400, Utc(-1000, 3, 1, 0, 0, 0, 0, kSat)},
      {3093527980800, 3093527980800, Utc(100000, 1, 1, 0, 0, 0, 0, kSat)},
      // Milliseconds; time_t drops them toward zero, before 1970 too.
      {1.75, 1, Utc(1970, 1, 1, 0, 0, 1, 750, kThu)},
      {-0.5, 0, Utc(1969, 12, 31, 23, 59, 59, 500, kWed)},
      {-1.75, -1, Utc(1969, 12, 31, 23, 59, 58, 250, kWed)},
      {253402300799.5, 253402300799, Utc(9999, 12, 31, 23, 59, 59, 500, kFri)},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    const RoundTripRow& row = rows[i];
    const time_t whole = Clamped(row.time_t_seconds);
    EXPECT_EQ(whole, ToTimeT(row.fields));
    EXPECT_EQ(row.seconds, ToDoubleT(row.fields));
    EXPECT_EQ(Describe(row.fields), FromDoubleT(row.seconds));
    if (row.seconds != row.time_t_seconds || whole != row.time_t_seconds)
      continue;
    cef_time_t back = {};
    EXPECT_EQ(1, cef_time_from_timet(whole, &back));
    EXPECT_EQ(Describe(row.fields), Describe(back));
  }
}

struct FromDoubleRow {
  double seconds;
  cef_time_t fields;
};

// Chromium keeps whole microseconds (truncated toward zero) and explodes
// them rounded down to the millisecond; what int64 microseconds since 1601
// cannot hold stops at their ends.
TEST_F(TimeTest, FromDoubleTruncatesRoundsDownAndSaturates) {
  const double kInf = std::numeric_limits<double>::infinity();
  const cef_time_t kEpoch = Utc(1970, 1, 1, 0, 0, 0, 0, kThu);
  // int64's ends: the first is 369 years before any fields can reach.
  const cef_time_t kStart = Utc(-290677, 12, 23, 19, 59, 5, 224, kThu);
  const cef_time_t kEnd = kLast;
  const std::vector<FromDoubleRow> rows = {
      // 0 and NaN are the null time.
      {0.0, kNullTimeFields},
      {-0.0, kNullTimeFields},
      {std::nan(""), kNullTimeFields},
      // Less than a microsecond is the epoch, which is not null.
      {1e-7, kEpoch},
      {-1e-7, kEpoch},
      {0.0015, Utc(1970, 1, 1, 0, 0, 0, 1, kThu)},
      {-0.0005, Utc(1969, 12, 31, 23, 59, 59, 999, kWed)},
      {kInf, kEnd},
      {1e300, kEnd},
      {-kInf, kStart},
      {-1e300, kStart},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    EXPECT_EQ(Describe(rows[i].fields), FromDoubleT(rows[i].seconds));
  }

  cef_time_t time = {};
  EXPECT_EQ(1, cef_time_from_timet(0, &time));
  EXPECT_EQ(Describe(kNullTimeFields), Describe(time));
  // time_t's largest value is the end of time, however wide time_t is.
  EXPECT_EQ(1, cef_time_from_timet(std::numeric_limits<time_t>::max(), &time));
  EXPECT_EQ(Describe(kEnd), Describe(time));
}

struct ToRow {
  cef_time_t fields;
  long long time_t_seconds;  // before clamping to time_t
  double seconds;
};

TEST_F(TimeTest, NullTimeAndRangeEndsConvertAsChromiumDoes) {
  const long long kTimeTEnd = std::numeric_limits<long long>::max();
  const std::vector<ToRow> rows = {
      // The null time's own fields are the null time: 0, not 1601.
      {kNullTimeFields, 0, 0},
      {Utc(1601, 1, 1, 0, 0, 0, 1, kMon), -11644473599, -11644473599.999},
      // So is the epoch, though it is no null time.
      {Utc(1970, 1, 1, 0, 0, 0, 0, kThu), 0, 0},
      {kFirst, -9223372036854, -9223372036854.775},
      // Chromium's overflow guard gives the last 369 years the largest
      // time_t.
      {kLast, kTimeTEnd, 9211727563254.775},
      {Utc(293800, 1, 1, 0, 0, 0, 0, kSun), kTimeTEnd, 9209265321600},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    EXPECT_EQ(Clamped(rows[i].time_t_seconds), ToTimeT(rows[i].fields));
    EXPECT_DOUBLE_EQ(rows[i].seconds, ToDoubleT(rows[i].fields));
  }
  EXPECT_EQ(11644473600000LL,
            Delta(kNullTimeFields, Utc(1970, 1, 1, 0, 0, 0, 0, kThu)));
}

// Fields that make no time are the null time: 0 and 0.0, and no distance
// from 1601-01-01. (Their values are the round trips' and deltas' to check:
// a millisecond need not survive a double.)
void ExpectValidity(const cef_time_t& fields, bool valid) {
  if (!valid) {
    EXPECT_EQ(0, ToTimeT(fields));
    EXPECT_EQ(0.0, ToDoubleT(fields));
    EXPECT_EQ(0, Delta(kNullTimeFields, fields));
    return;
  }
  EXPECT_NE(0.0, ToDoubleT(fields));
  EXPECT_NE(0, Delta(kNullTimeFields, fields));
}

struct FieldRow {
  int cef_time_t::*field;
  int value;
  bool valid;
};

TEST_F(TimeTest, FieldsOutOfRangeMakeTheNullTime) {
  const cef_time_t base = Utc(2021, 3, 4, 5, 6, 7, 89, kThu);
  const std::vector<FieldRow> rows = {
      {&cef_time_t::month, 0, false},
      {&cef_time_t::month, 13, false},
      {&cef_time_t::month, 12, true},
      {&cef_time_t::day_of_week, -1, false},
      {&cef_time_t::day_of_week, 7, false},
      // Checked for its range only, not against the date.
      {&cef_time_t::day_of_week, kSun, true},
      {&cef_time_t::day_of_month, 0, false},
      {&cef_time_t::day_of_month, 32, false},
      {&cef_time_t::day_of_month, 31, true},
      {&cef_time_t::hour, -1, false},
      {&cef_time_t::hour, 24, false},
      {&cef_time_t::hour, 23, true},
      {&cef_time_t::minute, -1, false},
      {&cef_time_t::minute, 60, false},
      {&cef_time_t::second, -1, false},
      // A leap second passes the range check, then fails the round trip.
      {&cef_time_t::second, 60, false},
      {&cef_time_t::second, 59, true},
      {&cef_time_t::millisecond, -1, false},
      {&cef_time_t::millisecond, 1000, false},
      {&cef_time_t::millisecond, 999, true},
      // Beyond int64 microseconds since 1601.
      {&cef_time_t::year, 293879, false},
      {&cef_time_t::year, -290309, false},
      {&cef_time_t::year, std::numeric_limits<int>::max(), false},
      {&cef_time_t::year, std::numeric_limits<int>::min(), false},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    cef_time_t fields = base;
    fields.*rows[i].field = rows[i].value;
    ExpectValidity(fields, rows[i].valid);
  }
  ExpectValidity(kFirst, true);
  ExpectValidity(kLast, true);
  cef_time_t before_first = kFirst;
  --before_first.millisecond;
  ExpectValidity(before_first, false);
  cef_time_t after_last = kLast;
  ++after_last.millisecond;
  ExpectValidity(after_last, false);
}

struct DayRow {
  int year;
  int month;
  int day;
  bool valid;
};

TEST_F(TimeTest, DaysPastTheEndOfTheirMonthMakeTheNullTime) {
  const std::vector<DayRow> rows = {
      {2020, 2, 29, true},  {2020, 2, 30, false}, {2019, 2, 29, false},
      {2019, 2, 28, true},  {2000, 2, 29, true},  {1900, 2, 29, false},
      {2100, 2, 29, false}, {2400, 2, 29, true},  {0, 2, 29, true},
      {-4, 2, 29, true},    {-100, 2, 29, false}, {2021, 4, 31, false},
      {2021, 4, 30, true},  {2021, 12, 31, true}, {2021, 1, 31, true},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    ExpectValidity(Utc(rows[i].year, rows[i].month, rows[i].day),
                   rows[i].valid);
  }
}

struct DeltaRow {
  cef_time_t first;
  cef_time_t second;
  long long milliseconds;
};

TEST_F(TimeTest, DeltaIsTheSecondMinusTheFirstInMilliseconds) {
  const cef_time_t epoch = Utc(1970, 1, 1);
  const std::vector<DeltaRow> rows = {
      {epoch, Utc(1970, 1, 1, 0, 0, 1, 500), 1500},
      {Utc(1970, 1, 1, 0, 0, 1, 500), epoch, -1500},
      {epoch, epoch, 0},
      {Utc(2020, 2, 28), Utc(2020, 3, 1), 2 * 86400000LL},
      {Utc(1900, 2, 28), Utc(1900, 3, 1), 86400000LL},
      {Utc(2000, 2, 28), Utc(2000, 3, 1), 2 * 86400000LL},
      {Utc(-100, 2, 28), Utc(-100, 3, 1), 86400000LL},
      {Utc(1969, 12, 31, 23, 59, 59, 999), Utc(1970, 1, 1, 0, 0, 0, 1), 2},
      // An invalid time counts as the null time, 1601-01-01.
      {Utc(1970, 13, 1), epoch, 11644473600000LL},
      // Beyond long long: its ends.
      {kFirst, kLast, std::numeric_limits<long long>::max()},
      {kLast, kFirst, std::numeric_limits<long long>::min()},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    EXPECT_EQ(rows[i].milliseconds, Delta(rows[i].first, rows[i].second));
  }
}

TEST_F(TimeTest, NowIsTheSystemClock) {
  const time_t before = std::time(nullptr);
  cef_time_t now = {};
  EXPECT_EQ(1, cef_time_now(&now));
  const time_t after = std::time(nullptr);
  const time_t seconds = ToTimeT(now);
  EXPECT_LE(before, seconds);
  EXPECT_LE(seconds, after);
}

TEST_F(TimeTest, NullPointersAreMisusesAndWriteNothing) {
  const cef_time_t fields = Utc(2021, 3, 4);
  time_t seconds = 7;
  double seconds_double = 7;
  long long delta = 7;
  EXPECT_EQ(0, cef_time_to_timet(nullptr, &seconds));
  EXPECT_EQ(0, cef_time_to_timet(&fields, nullptr));
  EXPECT_EQ(0, cef_time_to_doublet(nullptr, &seconds_double));
  EXPECT_EQ(0, cef_time_to_doublet(&fields, nullptr));
  EXPECT_EQ(0, cef_time_from_timet(1, nullptr));
  EXPECT_EQ(0, cef_time_from_doublet(1, nullptr));
  EXPECT_EQ(0, cef_time_now(nullptr));
  EXPECT_EQ(0, cef_time_delta(nullptr, &fields, &delta));
  EXPECT_EQ(0, cef_time_delta(&fields, nullptr, &delta));
  EXPECT_EQ(0, cef_time_delta(&fields, &fields, nullptr));
  EXPECT_EQ(7, seconds);
  EXPECT_EQ(7, seconds_double);
  EXPECT_EQ(7, delta);
  EXPECT_EQ(10, standin::CefMisuseCount() - misuses_);
  misuses_ = standin::CefMisuseCount();
}

}  // namespace
