#include "MeasurementState.h"

#include "DataFileWriter.h"

MeasurementState::MeasurementState()
    : RecordingMaxText(HeaderNumber(0))
{
}

void MeasurementState::changeSampleInterval(int seconds)
{
    SampleInterval = seconds;
    TickCount = 0;
}
