#pragma once

#include <QString>

struct MeterReading;

#include <optional>

// A field check of the meter against its sound calibrator: the levels the
// meter shows for ten seconds with the calibrator on its microphone.
class CalibrationCheck
{
public:
    static constexpr int Seconds = 10;
    // Lowest and highest reading may differ by this much for a stable check.
    static constexpr double StableSpread = 0.3;

    explicit CalibrationCheck(double calibratorLevel);

    // One reading the meter sent; nullopt for a reading without a number
    // (over or under range).
    void add(std::optional<double> level);
    void linkLost() { m_linkLost = true; }

    int readings() const { return m_readings; }
    std::optional<double> mean() const;

    struct Result
    {
        bool stable = false;
        QString why; // for an unstable check: what made it so
        int readings = 0;
        bool measured = false; // some reading had a number: the figures below hold
        double mean = 0.0;
        double lowest = 0.0;
        double highest = 0.0;
        double deviation = 0.0; // mean minus the calibrator's level
    };
    Result result() const;

private:
    double m_calibratorLevel;
    int m_readings = 0;
    int m_withoutNumber = 0;
    double m_sum = 0.0;
    std::optional<double> m_lowest;
    std::optional<double> m_highest;
    bool m_linkLost = false;
};

// |v| in hundredths of a dB: calibration compares at that grain, so that a
// value of exactly a limit is within it however the arithmetic rounds.
long long calibrationHundredths(double v);
// |value| at most the tolerance, compared in hundredths.
bool withinTolerance(double value, double tolerance);
// "+0.05", "-0.10": a deviation or a drift with its sign, in hundredths.
QString signedHundredthsText(double v);
// What a stable check is called: "Stable, within the tolerance" or
// "Stable, but outside the tolerance".
QString stableCheckText(bool withinTheTolerance);

// The reading of a level text for a check: "94.1" is 94.1, "94.1*" too;
// over- and under-range texts have no number.
std::optional<double> calibrationLevelOf(const QString &levelText);
// The same of a reading the meter sent: one flagged over or under range has
// no number a check could use.
std::optional<double> calibrationLevelOf(const MeterReading &reading);
