#pragma once

#include "link/MeterLink.h"

#include <QWidget>

class QPushButton;
class SerialPort;

// The meter's ten keys as buttons. A click presses the key on the meter
// (handshake, then the key command); the panel's timers are left alone, so
// a click during a poll wait runs inside that wait.
class Keypad : public QWidget
{
    Q_OBJECT

public:
    Keypad(SerialPort &port, StopRequested stop, QWidget *parent = nullptr);

    QPushButton *button(KeyCode code) const;

private:
    SerialPort &m_port;
    StopRequested m_stop;
};
