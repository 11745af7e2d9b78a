#pragma once

#include "link/LinkOwner.h"

#include <QWidget>

class QPushButton;

// The meter's ten keys as buttons. A click presses the key on the meter
// (handshake, then the key command) through the link owner: at once when
// the link is free, else in click order once the exchange that holds it
// ends; refused while the link is lost.
class Keypad : public QWidget
{
    Q_OBJECT

public:
    Keypad(LinkOwner &link, StopRequested stop, QWidget *parent = nullptr);

    QPushButton *button(KeyCode code) const;
    // False while a long exchange (download, erase) holds the link.
    void setKeysAvailable(bool available);

private:
    void press(KeyCode code);

    LinkOwner &m_link;
    StopRequested m_stop;
};
