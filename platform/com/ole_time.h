#pragma once
// Automation dates: days since 1899-12-30 as a double, the fraction being the time of day. Before
// that day the whole part counts back while the fraction still counts forward (-1.25 is
// 1899-12-29 06:00).
#include "platform/com/variant.h"
#include "platform/win/time.h"

// FALSE outside the years 100 to 9999. Seconds are rounded, a half second up; the day of week is filled.
INT VariantTimeToSystemTime(DATE date, SYSTEMTIME* out);
// FALSE for fields outside their ranges or years outside 100 to 9999; milliseconds are ignored.
INT SystemTimeToVariantTime(const SYSTEMTIME* time, DATE* out);
