#pragma once

#include <QString>
#include <QStringList>

// Maps the COM names the user picks (COM1..COM16) to the device that opens.
namespace ComPortNames {

constexpr int FirstPort = 1;
constexpr int LastPort = 16;

// "COM1".."COM16", in order.
QStringList names();

// The folder where links named COMn are looked up first:
// $VORN_PORTS_DIR, else $XDG_RUNTIME_DIR/vorn/ports, else /tmp/vorn-<uid>/ports.
QString portsFolder();

// The fixed fallback table: COM1-8 -> /dev/ttyUSB0-7, COM9-12 -> /dev/ttyACM0-3,
// COM13-16 -> /dev/ttyS0-3. Empty outside 1..16.
QString fallbackDevice(int portNumber);

// What COM<portNumber> opens: on Windows the native name; elsewhere a link in
// the ports folder if there is one, else the fixed table. Empty outside 1..16.
QString devicePath(int portNumber);

// What the serial ports say when a port cannot be used, the same for every
// backend: "COM3 is not a port name (COM1 to COM16)." and
// "COM3 (/dev/ttyUSB2): <what>".
QString notAPortName(int portNumber);
QString portFailure(int portNumber, const QString &device, const QString &what);

} // namespace ComPortNames
