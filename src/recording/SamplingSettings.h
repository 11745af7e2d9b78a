#pragma once

// The meter-side sampling state the panel keeps for the run. The PC's own
// interval (SampleInterval, TickCount) lives with the measurement state.
struct SamplingSettings
{
    bool UsePcSampling = false; // set by the sampling choice's OK
    int MeterSampleTime = 0; // seconds, as last read from or written to the meter
};

constexpr int PcSampleIntervalMax = 86400;
constexpr int MeterSampleTimeMax = 255;
