#pragma once

// The serial port the programs open: the Win32 calls on Windows (see
// Win32SerialPort), QSerialPort elsewhere.
#ifdef _WIN32
#include "Win32SerialPort.h"
using SystemSerialPort = Win32SerialPort;
#else
#include "QtSerialPort.h"
using SystemSerialPort = QtSerialPort;
#endif
