#pragma once

#include <QByteArray>

// The meter may have sent a live frame just before it saw a command; that
// frame then arrives ahead of the reply. Removes whole live frames
// (02, four bytes, 03) from the front of what was read.
QByteArray SkipLeadingLiveFrames(QByteArray bytes);
