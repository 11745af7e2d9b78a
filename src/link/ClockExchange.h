#pragma once

#include "MeterLink.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The meter's real-time clock: "I" reads it as six BCD bytes (second, minute,
// hour, day, month, two-digit year), "B" and the same six bytes set it.

// One reply byte as shown: its upper-case hex digits, padded to two only when
// they are all decimal, so BCD shows as its two digits (0x09 -> "09") and a
// byte that is not BCD shows as it is (0x1A -> "1A", 0x0A -> "A").
QString ClockFieldText(quint8 byte);

// "20yy/mm/dd hh:mm:ss" from the first six bytes of a reply (at least six).
QString ClockTextFromReply(const QByteArray &reply);

// A number 0..99 as one BCD byte: 59 -> 0x59.
quint8 ToBcd(int value);

// The six BCD bytes of the given local time, seconds first.
QByteArray ClockBytes(const QDateTime &time);

// Asks for the clock until a reply of six bytes or more comes, processing
// window events between tries; a live frame ahead of the reply is passed
// over. A meter that sends nothing within the silence limit, or a stop
// request, gives nullopt.
std::optional<QString> ReadMeterClock(SerialPort &port, const StopRequested &stop = {});

// Writes "B" and the clock bytes of the given time and lets the meter settle;
// the meter does not confirm it. False when the port refused the bytes.
bool SetMeterClock(SerialPort &port, const QDateTime &time);
