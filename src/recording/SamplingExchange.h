#pragma once

#include <QByteArray>

#include <optional>

class SerialPort;

// "J" reads the meter's logging interval (two bytes, high first); "C" and two
// bytes set it. The meter does not confirm a "C".

// Tries "J" a first time and up to five times more within two seconds while
// the reply is shorter than two bytes. nullopt when the meter never answered.
std::optional<int> ReadMeterSampleTime(SerialPort &port);

// The two argument bytes of "C": seconds div 256, seconds mod 256.
QByteArray SampleTimeBytes(int seconds);

// Writes the set command and lets the meter settle.
void WriteMeterSampleTime(SerialPort &port, int seconds);
