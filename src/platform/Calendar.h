#pragma once

#include <cstdint>

// The one civil calendar of the program (proleptic Gregorian): dates as days
// from 1970-01-01, both ways, and which dates exist. Every reader of a date
// refuses one that does not (31 February).
namespace Calendar {

constexpr int64_t SecondsPerDay = 86400;

struct Date
{
    int year;
    unsigned month;
    unsigned day;
};

// Days from 1970-01-01 (negative before); the date must exist.
int64_t daysFromCivil(int year, unsigned month, unsigned day);
Date civilFromDays(int64_t days);
int daysInMonth(int year, int month);
bool isValidDate(int year, int month, int day);

} // namespace Calendar
