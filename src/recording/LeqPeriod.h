#pragma once

#include <QString>

#include <optional>

// The period of a timed integration as typed at the Leq button: hh:nn:ss.
struct LeqPeriod
{
    QString text; // "hh:nn:ss", two digits each
    int seconds = 0;
};

// Reads "h:n:s" or "h:s" (one colon: the number after it is seconds). An
// empty part counts as 0; hours wrap at 24, minutes and seconds at 60.
// nullopt when there is no colon, a part is not a whole number, something
// follows the two seconds digits, or the period comes to zero seconds.
std::optional<LeqPeriod> ReadLeqPeriod(const QString &answer);

// The input box of the Leq button.
QString LeqPeriodPrompt();
QString LeqPeriodTitle();
QString LeqPeriodDefault();
QString LeqPeriodInvalidMessage();
