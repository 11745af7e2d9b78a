#pragma once

#include <QString>

// An answer typed into a sampling-time box, read as seconds.
struct SamplingAnswer
{
    enum class Kind { Empty, NotANumber, Seconds };
    Kind kind = Kind::Empty;
    int seconds = 0;
};

// The answer as a number (a point as decimal sign, whatever the locale),
// rounded half to even and clamped to 1..maxSeconds: values outside the range
// are pulled in, not refused. Blanks around it are ignored.
SamplingAnswer ReadSamplingAnswer(const QString &answer, int maxSeconds);

// The input box prompt: "Enter the SAMPLING TIME in seconds", CR LF, the range.
QString SamplingPrompt(int maxSeconds);
