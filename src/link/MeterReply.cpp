#include "MeterReply.h"

#include "LiveFrame.h"

QByteArray SkipLeadingLiveFrames(QByteArray bytes)
{
    while (FrameIsValid(bytes.left(FrameLength)))
        bytes.remove(0, FrameLength);
    return bytes;
}
