// The logger memory read out of the meter emulator over the program's own
// serial port: download, browse every set, save one, erase.
#include "analysis/gui/DataList.h"
#include "analysis/gui/DataListHost.h"
#include "link/LinkOwner.h"
#include "recording/LoggerMemory.h"
#include "recording/gui/LoggerCommands.h"
#include "recording/gui/Memory.h"
#include "support/ScriptedDialogs.h"
#include "tools/EmulatorProcess.h"
#include "platform/PanelTimers.h"
#include "platform/QtSerialPort.h"
#include "platform/ReadingListModel.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct EmulatedSet
{
    const char *recipe;
    int records;
    int interval;
    const char *start; // as the recipe gives it
};

const EmulatedSet Sets[] = {
    { "records=1,interval=1,level=62,start=2026-01-02T03:04:05", 1, 1, "2026-01-02T03:04:05" },
    { "records=3,interval=60,levels=60/70.5/80*,time=slow,range=0,start=2025-12-31T23:58:30", 3, 60,
      "2025-12-31T23:58:30" },
    { "records=10000,interval=1,level=75,filter,range=2,start=2026-03-04T08:00:00", 10000, 1,
      "2026-03-04T08:00:00" },
    { "records=2,interval=60,level=40,freq=C,range=5,start=2026-06-30T23:59:00", 2, 60,
      "2026-06-30T23:59:00" },
};

QString timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString labelText(QWidget *window, const char *name)
{
    return window->findChild<QLabel *>(QString::fromLatin1(name))->text();
}

// Reads the layout's fields straight from the set's bytes, without the
// program's decoder: level words and BCD stamps by their positions.
struct RawSet
{
    QByteArray bytes;
    int k() const { return (int(bytes.size()) - 58) / 2; }
    int word(int position) const // position counted from 1, as in the layout
    {
        return uint8_t(bytes[position - 1]) * 256 + uint8_t(bytes[position]);
    }
    QString level(int position) const
    {
        int raw = word(position);
        const bool marked = raw >= 0x8000;
        raw &= 0x7FFF;
        QString text = raw >= 10 ? QString::number(raw / 10) : QString();
        text += QLatin1Char('.') + QString::number(raw % 10);
        return marked ? text + QLatin1Char('*') : text;
    }
    QString stamp(int position) const
    {
        auto two = [&](int offset) {
            return QStringLiteral("%1").arg(uint8_t(bytes[position - 1 + offset]), 2, 16,
                                            QLatin1Char('0'));
        };
        return QStringLiteral("20") + two(5) + "/" + two(4) + "/" + two(3) + " " + two(2) + ":"
            + two(1) + ":" + two(0);
    }
};

class LoggerAgainstTheEmulator : public testing::Test
{
protected:
    static std::vector<std::string> arguments()
    {
        std::vector<std::string> out { "--fast" };
        for (const EmulatedSet &set : Sets) {
            out.push_back("--set");
            out.push_back(set.recipe);
        }
        return out;
    }

    void SetUp() override
    {
        loggerMemory() = LoggerMemory();
        ASSERT_TRUE(emulator.waitForLink());
        qputenv("VORN_PORTS_DIR", emulator.portsFolder().c_str());
        ASSERT_TRUE(port.open(1)) << port.errorString().toStdString();
        panel.setGeometry(0, 0, 300, 200);
        panel.show();
        timers.setBothEnabled(true);
    }

    EmulatorProcess emulator { arguments() };
    QtSerialPort port;
    LinkOwner link { port };
    QWidget panel;
    PanelTimers timers;
    DataListHost host { &panel, &timers };
    ScriptedDialogs dialogs;
};

TEST_F(LoggerAgainstTheEmulator, DownloadBrowseSaveAndErase)
{
    Memory *window = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_NE(window, nullptr) << dialogs.messageTexts().join('|').toStdString();
    EXPECT_TRUE(dialogs.messageTexts().isEmpty()) << dialogs.messageTexts().join('|').toStdString();
    EXPECT_EQ(labelText(window, "LblSize"), "256 K");
    EXPECT_EQ(labelText(window, "LblMessage"), "100.0% Completed");
    QTableWidget *grid = window->gridSet();
    ASSERT_EQ(grid->rowCount(), int(std::size(Sets)));

    for (int row = 0; row < grid->rowCount(); ++row) {
        SCOPED_TRACE(row);
        const EmulatedSet &expected = Sets[row];
        EXPECT_EQ(grid->item(row, 0)->text(), QString::number(row + 1));
        EXPECT_EQ(grid->item(row, 1)->text(), QString::number(expected.interval));
        EXPECT_EQ(grid->item(row, 2)->text(), QString::number(expected.records));

        window->ShowLoggerSet(row);
        DataList *list = qobject_cast<DataList *>(window->setWindow());
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->list().count(), expected.records);
        const QDateTime start
            = QDateTime::fromString(QString::fromLatin1(expected.start), Qt::ISODate);
        EXPECT_EQ(list->list().time(0), timeText(start));
        EXPECT_EQ(list->list().time(expected.records - 1),
                  timeText(start.addSecs(qint64(expected.records - 1) * expected.interval)));
        EXPECT_EQ(list->windowTitle(), "Data List");
        EXPECT_TRUE(timers.timer1Enabled() && timers.timer2Enabled());
    }

    window->ShowLoggerSet(1);
    DataList *list = qobject_cast<DataList *>(window->setWindow());
    EXPECT_EQ(labelText(list, "BoardSFI"), "SLOW");
    EXPECT_EQ(list->list().level(0), "60.0");
    EXPECT_EQ(list->list().level(1), "70.5");
    EXPECT_EQ(list->list().level(2), "80.0*");
    window->ShowLoggerSet(2);
    EXPECT_EQ(labelText(qobject_cast<DataList *>(window->setWindow()), "BoardCA"), "20-200Hz Filter");
    EXPECT_EQ(labelText(qobject_cast<DataList *>(window->setWindow()), "BoardLevel"), "60-120");
    // A 40 dB set in the 30-90 range: percentiles at the bottom are not shown.
    window->ShowLoggerSet(3);
    EXPECT_EQ(labelText(qobject_cast<DataList *>(window->setWindow()), "BoardCA"), "C");

    // Save the three-record set and compare with the file the layout gives.
    window->ShowLoggerSet(1);
    list = qobject_cast<DataList *>(window->setWindow());
    const RawSet raw { *loggerMemory().set(2) };
    const int k = raw.k();
    ASSERT_EQ(k, 3);
    QByteArray expectedFile = "Data Logger\r\n 60 \r\nA\r\nSLOW\r\n80-140\r\n";
    for (int n = 0; n < 5; ++n) {
        // Shown only above the range bottom (80) less 5.
        const int position = 39 + 2 * k + 2 * (5 + n);
        const bool shown = (raw.word(position) & 0x7FFF) > 750;
        expectedFile += (shown ? raw.level(position) : QStringLiteral("- - -")).toLatin1() + "\r\n";
    }
    expectedFile += raw.level(39 + 2 * k + 4).toLatin1() + "\r\n";
    expectedFile += raw.stamp(21 + 2 * k).toLatin1() + "\r\n";
    expectedFile += raw.level(39 + 2 * k + 2).toLatin1() + "\r\n";
    expectedFile += raw.level(39 + 2 * k).toLatin1() + "\r\n";
    expectedFile += "No.s\tDate Time\tdB\t\r\n"
                    "1\t2025/12/31 23:58:30\t60.0\t\r\n"
                    "2\t2025/12/31 23:59:30\t70.5\t\r\n"
                    "3\t2026/01/01 00:00:30\t80.0*\t\r\n";
    QTemporaryDir dir;
    const QString path = dir.filePath("logger.vorn");
    dialogs.answerSave(path);
    list->Save();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), expectedFile);

    dialogs.answerMessage(MessageAnswer::Ok);
    EraseLoggerMemory(&panel, link, timers);
    EXPECT_EQ(Memory::openWindow(), nullptr);
    EXPECT_EQ(DownloadLoggerMemory(&panel, link, timers, host), nullptr);
    ASSERT_FALSE(dialogs.messageTexts().isEmpty());
    EXPECT_EQ(dialogs.messageTexts().last(), "No Data in Memory");
    EXPECT_TRUE(timers.timer1Enabled() && timers.timer2Enabled());
}

struct FaultCase
{
    const char *name;
    std::vector<std::string> arguments;
    const char *message; // how the message starts
    int setsListed; // -1: no memory window
};

void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoggerEmulatorFaults : public testing::TestWithParam<FaultCase>
{
};

TEST_P(LoggerEmulatorFaults, EndWithAClearMessageAndTheTimersBackOn)
{
    loggerMemory() = LoggerMemory();
    EmulatorProcess emulator(GetParam().arguments, "COM2");
    ASSERT_TRUE(emulator.waitForLink());
    qputenv("VORN_PORTS_DIR", emulator.portsFolder().c_str());
    QtSerialPort port;
    LinkOwner link { port };
    ASSERT_TRUE(port.open(2)) << port.errorString().toStdString();
    QWidget panel;
    PanelTimers timers;
    timers.setBothEnabled(true);
    DataListHost host(&panel, &timers);
    ScriptedDialogs dialogs;

    Memory *window = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_EQ(dialogs.messageTexts().size(), 1);
    EXPECT_TRUE(dialogs.messageTexts()[0].startsWith(GetParam().message))
        << dialogs.messageTexts()[0].toStdString();
    if (GetParam().setsListed < 0) {
        EXPECT_EQ(window, nullptr);
        EXPECT_FALSE(loggerMemory().MemoryWindowOpen);
    } else {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->gridSet()->rowCount(), GetParam().setsListed);
        EXPECT_TRUE(loggerMemory().MemoryWindowOpen);
        window->close();
    }
    EXPECT_TRUE(timers.timer1Enabled() && timers.timer2Enabled());
}

INSTANTIATE_TEST_SUITE_P(
    Meter, LoggerEmulatorFaults,
    testing::Values(
        // Two whole sets of 64 bytes and part of a third, then live frames again.
        FaultCase { "StreamStalls",
                    { "--fast", "--stall-logger-after", "200", "--set", "records=3", "--set",
                      "records=3", "--set", "records=100" },
                    "The meter stopped sending. Try again!",
                    2 },
        FaultCase { "RepliesAlwaysShort",
                    { "--short-replies", "--set", "records=3" },
                    "The meter's replies could not be read. Try again!",
                    -1 }),
    [](const testing::TestParamInfo<FaultCase> &info) { return info.param.name; });

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
