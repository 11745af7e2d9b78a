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

    // True while a key exchange runs. The poll holds off meanwhile: its read
    // would take the meter's acknowledgement for a live frame.
    bool isPressing() const { return m_pressing; }

private:
    void press(KeyCode code);

    SerialPort &m_port;
    StopRequested m_stop;
    bool m_pressing = false;
};
