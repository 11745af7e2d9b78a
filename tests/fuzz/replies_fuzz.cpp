// Feeds arbitrary bytes to what reads the meter's replies: live frames ahead
// of a reply, the clock reply, the interval reply and the live frame itself.
// The exchanges read a reply in pieces as the port delivers them and skip
// live frames after each piece; the first byte cuts the rest into such
// pieces, and the reply must not depend on where the cuts fall.
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

    if (!bytes.isEmpty()) {
        // Pieces of a short reply: each step copies what is kept so far, so a
        // long input would only fill the sanitizer's quarantine.
        const int piece = 1 + quint8(bytes.at(0)) % 7;
        const QByteArray rest = bytes.mid(1, 256);
        QByteArray pieced;
        for (qsizetype at = 0; at < rest.size(); at += piece) {
            pieced.append(rest.constData() + at, std::min<qsizetype>(piece, rest.size() - at));
            pieced = SkipLeadingLiveFrames(pieced);
        }
        require(pieced == SkipLeadingLiveFrames(rest));
    }

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
