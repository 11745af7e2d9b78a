// Feeds arbitrary bytes to what reads the meter's replies: live frames ahead
// of a reply, the clock reply, the interval reply and the live frame itself.
#include "link/ClockExchange.h"
#include "link/LiveFrame.h"
#include "link/MeterReading.h"
#include "link/MeterReply.h"

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QByteArray reply = SkipLeadingLiveFrames(bytes);
    require(reply.size() <= bytes.size() && bytes.endsWith(reply));
    if (reply.size() >= 6) {
        const QString clock = ClockTextFromReply(reply);
        require(clock.startsWith(QLatin1String("20")) && clock.size() <= 25);
    }
    for (const char byte : bytes)
        require(ClockFieldText(quint8(byte)).size() == 2 || quint8(byte) < 0x10);

    const QByteArray frame = LastSixBytes(bytes);
    require(frame.size() == std::min<qsizetype>(bytes.size(), 6));
    if (FrameIsValid(frame)) {
        MeterReading reading;
        DecodeRangeByte(quint8(frame.at(1)), reading);
        DecodeModeByte(quint8(frame.at(2)), reading);
        DecodeLevel(quint8(frame.at(3)), quint8(frame.at(4)), reading);
        require(!reading.LevelText.isEmpty());
    }
    return 0;
}
