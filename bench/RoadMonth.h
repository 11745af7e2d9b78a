#pragma once

// A month as a road-side station hears it, and the weather beside it, for
// the benchmarks that time what a real month costs: a background of 45 to
// 58 dB with a pass-by every few minutes (10 to 40 s, up to 85 dB); a breeze
// that rises in the afternoon, a windy afternoon every fifth day and a
// shower every fourth night.
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace RoadMonth {

// 30 day files of 86,400 readings from 2026-04-01, "STATION YYYY-MM-DD.vorn".
inline QStringList write(const QString &folder, const QString &station)
{
    QStringList names;
    quint32 random = 12345;
    const auto next = [&random] {
        random = random * 1103515245u + 12345u;
        return (random >> 16) & 0x7FFF;
    };
    int passLeft = 0, passPeak = 0, passLength = 0;
    for (int d = 0; d < 30; ++d) {
        const QDate day = QDate(2026, 4, 1).addDays(d);
        QByteArray bytes = "Real Time\r\n 1 \r\nA\r\nSlow\r\n30-90\r\n88.8\r\n"
            + day.toString("yyyy/MM/dd").toLatin1() + " 00:00:00\r\n140.2\r\n85.0\r\n"
            + "No.s\tDate Time\tdB\t\r\n";
        const QByteArray date = day.toString("yyyy/MM/dd ").toLatin1();
        bytes.reserve(86400 * 34);
        for (int s = 0; s < 86400; ++s) {
            const bool daytime = s >= 7 * 3600 && s < 22 * 3600;
            int tenths = (daytime ? 520 : 450) + int(next() % 60);
            if (passLeft == 0 && next() % (daytime ? 240 : 900) == 0) {
                passLength = 10 + int(next() % 31);
                passLeft = passLength;
                passPeak = 700 + int(next() % 150);
            }
            if (passLeft > 0) {
                // Up and down again: a triangle to its peak.
                const int at = passLength - passLeft;
                const int rise = std::min(at, passLength - 1 - at);
                tenths = std::max(tenths, passPeak - (passLength / 2 - rise) * 20);
                --passLeft;
            }
            bytes += QByteArray::number(s + 1) + '\t' + date
                + QByteArray::number(s / 3600).rightJustified(2, '0') + ':'
                + QByteArray::number(s / 60 % 60).rightJustified(2, '0') + ':'
                + QByteArray::number(s % 60).rightJustified(2, '0') + '\t'
                + QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10)
                + "\t\r\n";
        }
        const QString name = QDir(folder).filePath(
            QStringLiteral("%1 %2.vorn").arg(station, day.toString(Qt::ISODate)));
        QFile file(name);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        names << name;
    }
    return names;
}

// The month's weather, a row a minute (43,200 rows), as "STATION weather.csv".
inline QByteArray weather()
{
    QByteArray csv = "time,wind_speed,wind_gust,wind_direction,rain,temperature\n";
    const QDateTime from(QDate(2026, 4, 1), QTime(0, 0), QTimeZone::utc());
    for (int m = 1; m <= 30 * 1440; ++m) {
        const int day = m / 1440;
        const int minute = m % 1440;
        double wind = 2.5 + 1.5 * std::sin(2.0 * M_PI * (minute - 480) / 1440.0);
        if (day % 5 == 2 && minute >= 13 * 60 && minute < 17 * 60)
            wind = 6.5;
        const bool shower = day % 4 == 1 && minute >= 3 * 60 && minute < 4 * 60;
        csv += from.addSecs(60 * m).toString(Qt::ISODate).toLatin1() + ','
            + QByteArray::number(wind, 'f', 1) + ',' + QByteArray::number(wind * 1.6, 'f', 1)
            + ",220," + (shower ? "0.2" : "0") + ",11.0\n";
    }
    return csv;
}

} // namespace RoadMonth
