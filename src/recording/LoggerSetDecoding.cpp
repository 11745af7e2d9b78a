#include "LoggerSetDecoding.h"

#include "link/LiveFrame.h"

#include <QDate>
#include <QElapsedTimer>

namespace {

using namespace LoggerLayout;

constexpr int SecondsPerDay = 86400;
constexpr int ProgressStepMs = 30;
const QString Dashes = QStringLiteral("- - -");

int bcdValue(uint8_t byte, bool &ok)
{
    const int high = byte >> 4, low = byte & 0x0F;
    if (high > 9 || low > 9)
        ok = false;
    return high * 10 + low;
}

struct StampTime
{
    QDate date;
    int secondOfDay = 0;
};

std::optional<StampTime> stampTime(const char *stamp, int pcYear)
{
    bool ok = true;
    const int second = bcdValue(uint8_t(stamp[0]), ok);
    const int minute = bcdValue(uint8_t(stamp[1]), ok);
    const int hour = bcdValue(uint8_t(stamp[2]), ok);
    const int day = bcdValue(uint8_t(stamp[3]), ok);
    const int month = bcdValue(uint8_t(stamp[4]), ok);
    const int year = bcdValue(uint8_t(stamp[5]), ok) + pcYear / 100 * 100;
    const QDate date(year, month, day);
    if (!ok || !date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return StampTime { date, hour * 3600 + minute * 60 + second };
}

void appendTwoDigits(char *&out, int value)
{
    *out++ = char('0' + value / 10);
    *out++ = char('0' + value % 10);
}

// "yyyy/mm/dd hh:nn:ss" without going through the locale or a date format.
QString timeText(const QDate &date, int secondOfDay)
{
    char text[19];
    char *out = text;
    appendTwoDigits(out, date.year() / 100 % 100);
    appendTwoDigits(out, date.year() % 100);
    *out++ = '/';
    appendTwoDigits(out, date.month());
    *out++ = '/';
    appendTwoDigits(out, date.day());
    *out++ = ' ';
    appendTwoDigits(out, secondOfDay / 3600);
    *out++ = ':';
    appendTwoDigits(out, secondOfDay / 60 % 60);
    *out++ = ':';
    appendTwoDigits(out, secondOfDay % 60);
    return QString::fromLatin1(text, sizeof text);
}

uint16_t wordAt(const LoggerDataSet &set, int offset)
{
    return uint16_t((uint8_t(set[offset]) << 8) | uint8_t(set[offset + 1]));
}

MeterReading levelAt(const LoggerDataSet &set, int offset)
{
    MeterReading reading;
    DecodeLevel(uint8_t(set[offset]), uint8_t(set[offset + 1]), reading);
    return reading;
}

} // namespace

QString LoggerStampText(const char *stamp, int pcYear)
{
    auto hex = [](char byte) {
        return QString::number(uint8_t(byte), 16).toUpper().rightJustified(2, QLatin1Char('0'));
    };
    const QString century = QString::number(pcYear).left(2);
    return century + hex(stamp[5]) + QLatin1Char('/') + hex(stamp[4]) + QLatin1Char('/')
        + hex(stamp[3]) + QLatin1Char(' ') + hex(stamp[2]) + QLatin1Char(':') + hex(stamp[1])
        + QLatin1Char(':') + hex(stamp[0]);
}

std::optional<LoggerSetView> DecodeLoggerSet(const LoggerDataSet &set, int pcYear,
                                             const LoggerDecodeProgress &progress)
{
    if (set.size() < setLength(1) || (set.size() - FixedLength) % RecordLength != 0
        || !markerAt(set.constData()))
        return std::nullopt;

    LoggerSetView view;
    view.records = int((set.size() - FixedLength) / RecordLength);
    view.interval = wordAt(set, IntervalOffset);
    const int k = view.records;
    const int stampsOffset = FirstRecordOffset + RecordLength * k;
    const int levelsOffset = stampsOffset + StampCount * StampLength;
    auto stamp = [&](int which) { return set.constData() + stampsOffset + which * StampLength; };
    auto level = [&](int which) { return levelAt(set, levelsOffset + 2 * which); };

    MeterReading settings;
    DecodeModeByte(uint8_t(set[ModeOffset]), settings);
    DecodeRangeByte(uint8_t(set[RangeOffset]), settings);
    view.BoardCA = settings.FreqWeighting == QLatin1String("AA") ? QStringLiteral("20-200Hz Filter")
                                                                 : settings.FreqWeighting;
    view.BoardSFI = settings.TimeWeighting;
    view.BoardLevel = QString::number(settings.RangeBottom) + QLatin1Char('-')
        + QString::number(settings.RangeTop);

    view.BoardLeq = level(LeqLevel).LevelText;
    view.BoardSEL = level(SelLevel).LevelText;
    view.BoardMaxdB = level(MaximumLevel).LevelText;
    view.BoardPeakdB = level(PeakLevel).LevelText;
    view.BoardMaxTime = LoggerStampText(stamp(MaximumStamp), pcYear);
    view.BoardPeakTime = LoggerStampText(stamp(PeakStamp), pcYear);
    QString *percentiles[]
        = { &view.Board05, &view.Board10, &view.Board50, &view.Board90, &view.Board95 };
    for (int i = 0; i < 5; ++i) {
        const MeterReading percentile = level(L05Level + i);
        *percentiles[i]
            = percentile.Level > settings.RangeBottom - 5 ? percentile.LevelText : Dashes;
    }

    view.startTime = LoggerStampText(stamp(StartStamp), pcYear);
    const std::optional<StampTime> start = stampTime(stamp(StartStamp), pcYear);
    view.startTimeValid = start.has_value();

    view.numbers.reserve(k);
    view.times.reserve(k);
    view.levels.reserve(k);
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    QDate day = start ? start->date : QDate();
    qint64 dayOffset = 0;
    for (int j = 1; j <= k; ++j) {
        view.numbers.append(QString::number(j));
        if (start) {
            const qint64 seconds = start->secondOfDay + qint64(j - 1) * view.interval;
            const qint64 days = seconds / SecondsPerDay;
            if (days != dayOffset) {
                day = start->date.addDays(days);
                dayOffset = days;
            }
            view.times.append(timeText(day, int(seconds % SecondsPerDay)));
        } else {
            view.times.append(view.startTime);
        }
        view.levels.append(
            LevelTextOfWord(wordAt(set, FirstRecordOffset + RecordLength * (j - 1))));
        if (progress && (j == k || sinceProgress.elapsed() >= ProgressStepMs)) {
            progress(j, k);
            sinceProgress.restart();
        }
    }
    return view;
}
