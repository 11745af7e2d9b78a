#include "analysis/gui/DataList.h"
#include "analysis/gui/DataListHost.h"
#include "link/LinkOwner.h"
#include "logger_test_sets.h"
#include "recording/LoggerMemory.h"
#include "recording/gui/LoggerCommands.h"
#include "recording/gui/Memory.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedDialogs.h"
#include "platform/PanelTimers.h"
#include "platform/ReadingListModel.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QByteArray Acknowledgement = QByteArray::fromHex("02FFFFFFFF03");

QString labelText(QWidget *window, const char *name)
{
    auto *label = window->findChild<QLabel *>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

class LoggerWindows : public testing::Test
{
protected:
    void SetUp() override
    {
        loggerMemory() = LoggerMemory();
        ASSERT_TRUE(port.open(1));
        panel.setGeometry(100, 100, 400, 300);
        panel.show();
        timers.setBothEnabled(true);
    }

    void TearDown() override
    {
        if (Memory *window = Memory::openWindow())
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The meter: acknowledgement to the first "A", then the end position.
    void meterHolds(const std::vector<TestLoggerSet> &sets)
    {
        stream = loggerStream(sets);
        const uint32_t end = sets.empty() ? 48 : uint32_t(stream.size() + 46);
        port.setResponder([this, end](const QByteArray &w) -> QByteArray {
            if (w != "H")
                timersOffDuringCommands
                    = timersOffDuringCommands && !timers.timer1Enabled() && !timers.timer2Enabled();
            if (w == "A")
                return answeredA++ == 0 ? Acknowledgement : endPositionReply(end);
            if (w == "L")
                return QByteArray::fromHex("000100");
            if (w == "K")
                return stream;
            return {};
        });
    }

    QStringList commands() const
    {
        QStringList out;
        for (const FakeSerialPort::Write &w : port.writes())
            out << QString::fromLatin1(w.bytes);
        return out;
    }

    QWidget panel;
    FakeSerialPort port;
    LinkOwner link { port };
    PanelTimers timers;
    DataListHost host { &panel, &timers };
    ScriptedDialogs dialogs;
    QByteArray stream;
    int answeredA = 0;
    bool timersOffDuringCommands = true;
};

TEST_F(LoggerWindows, DownloadListsTheSetsBesideThePanel)
{
    TestLoggerSet second;
    second.interval = 60;
    second.records.assign(10, 700);
    meterHolds({ TestLoggerSet(), second });

    Memory *window = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(commands(), (QStringList { "A", "A", "L", "K" }));
    EXPECT_TRUE(timersOffDuringCommands);
    EXPECT_TRUE(timers.timer1Enabled() && timers.timer2Enabled());
    EXPECT_TRUE(loggerMemory().MemoryWindowOpen);
    EXPECT_TRUE(dialogs.messageTexts().isEmpty());

    EXPECT_EQ(window->windowTitle(), "Data Logger");
    EXPECT_EQ(window->pos().x(), panel.frameGeometry().left() + panel.frameGeometry().width());
    EXPECT_EQ(labelText(window, "LblSize"), "64 K");
    EXPECT_EQ(labelText(window, "LblRemain"), "63.8 K"); // (65536 - 64 - 84 - 47) / 1024
    EXPECT_EQ(labelText(window, "LblMessage"), "100.0% Completed");
    QTableWidget *grid = window->gridSet();
    ASSERT_EQ(grid->rowCount(), 2);
    QStringList header;
    for (int c = 0; c < 3; ++c)
        header << grid->horizontalHeaderItem(c)->text();
    EXPECT_EQ(header, (QStringList { "Set", "Sampling", "Records" }));
    const char *rows[2][3] = { { "1", "1", "3" }, { "2", "60", "10" } };
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(grid->item(r, c)->text(), rows[r][c]) << r << "," << c;
    ASSERT_EQ(loggerMemory().LoggerSets.size(), 2u);
    EXPECT_EQ(loggerMemory().LoggerSets[1], second.bytes());

    // The Memory button does nothing while the window is up.
    port.clearWrites();
    EXPECT_EQ(DownloadLoggerMemory(&panel, link, timers, host), nullptr);
    EXPECT_TRUE(port.writes().empty());

    // Closing the window lets the button work again.
    window->close();
    EXPECT_FALSE(loggerMemory().MemoryWindowOpen);
}

struct RefusalCase
{
    const char *name;
    QByteArray endReply;
    const char *message;
    MessageIcon icon;
};

void PrintTo(const RefusalCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoggerRefusal : public LoggerWindows, public testing::WithParamInterface<RefusalCase>
{
};

TEST_P(LoggerRefusal, ShowsTheMessageAndLeavesNoWindow)
{
    port.setResponder([&](const QByteArray &w) -> QByteArray {
        if (w == "A")
            return answeredA++ == 0 ? Acknowledgement : GetParam().endReply;
        return {};
    });
    EXPECT_EQ(DownloadLoggerMemory(&panel, link, timers, host), nullptr);
    ASSERT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::Message).size(), 1u);
    const ScriptedDialogs::Call call = dialogs.callsOf(ScriptedDialogs::Kind::Message)[0];
    EXPECT_EQ(call.text, GetParam().message);
    EXPECT_EQ(call.icon, GetParam().icon);
    EXPECT_EQ(commands(), (QStringList { "A", "A" }));
    EXPECT_FALSE(loggerMemory().MemoryWindowOpen);
    EXPECT_EQ(Memory::openWindow(), nullptr);
    EXPECT_TRUE(timers.timer1Enabled() && timers.timer2Enabled());
}

INSTANTIATE_TEST_SUITE_P(
    EndPositions, LoggerRefusal,
    testing::Values(RefusalCase { "Empty", QByteArray::fromHex("000030"), "No Data in Memory",
                                  MessageIcon::Information },
                    RefusalCase { "TooSmall", QByteArray::fromHex("00002D"), "Error! Try again!",
                                  MessageIcon::Critical }),
    [](const testing::TestParamInfo<RefusalCase> &info) { return info.param.name; });

TEST_F(LoggerWindows, AStalledStreamKeepsTheWindowWithTheWholeSets)
{
    meterHolds({ TestLoggerSet(), TestLoggerSet(), TestLoggerSet() });
    port.setResponder([this](const QByteArray &w) -> QByteArray {
        if (w == "A")
            return answeredA++ == 0 ? Acknowledgement
                                    : endPositionReply(uint32_t(stream.size() + 46));
        if (w == "L")
            return QByteArray::fromHex("000100");
        if (w == "K")
            port.feedAfter(20, stream.left(1 + 64 + 64 + 10));
        return {};
    });
    // The stall limit is five seconds: this test takes that long.
    Memory *window = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->gridSet()->rowCount(), 2);
    EXPECT_EQ(labelText(window, "LblMessage"), "The meter stopped sending. Try again!");
    ASSERT_EQ(dialogs.messageTexts().size(), 1);
    EXPECT_TRUE(dialogs.messageTexts()[0].startsWith("The meter stopped sending. Try again!"));
    EXPECT_TRUE(loggerMemory().MemoryWindowOpen);
    EXPECT_TRUE(timers.timer1Enabled() && timers.timer2Enabled());
}

TEST_F(LoggerWindows, ShowLoggerSetFillsTheDataList)
{
    TestLoggerSet set;
    set.interval = 60;
    set.mode = 0x61; // SLOW, filter
    set.records = { 853, 0x8000 | 854, 700 };
    set.levels = { 851, 899, 854, 850, 1003, 740, 860, 851, 850, 850 };
    meterHolds({ TestLoggerSet(), set });
    Memory *window = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_NE(window, nullptr);

    window->ShowLoggerSet(1);
    DataList *list = qobject_cast<DataList *>(window->setWindow());
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(timers.timer1Enabled() && timers.timer2Enabled());
    EXPECT_EQ(loggerMemory().LoggerSampleInterval, 60);
    EXPECT_EQ(list->windowTitle(), "Data List");
    EXPECT_EQ(labelText(list, "BoardCA"), "20-200Hz Filter");
    EXPECT_EQ(labelText(list, "BoardSFI"), "SLOW");
    EXPECT_EQ(labelText(list, "BoardLevel"), "80-140");
    EXPECT_EQ(labelText(list, "Board05"), "- - -");
    EXPECT_EQ(labelText(list, "Board10"), "86.0");
    EXPECT_EQ(labelText(list, "BoardMaxdB"), "85.4");
    EXPECT_EQ(labelText(list, "BoardMaxTime"), "2013/03/04 08:00:01");
    EXPECT_EQ(labelText(list, "BoardPeakdB"), "100.3");
    EXPECT_EQ(labelText(list, "BoardLeq"), "85.1");
    EXPECT_EQ(labelText(list, "BoardSEL"), "89.9");
    ASSERT_EQ(list->list().count(), 3);
    EXPECT_EQ(list->list().time(2), "2013/03/04 08:02:00");
    EXPECT_EQ(list->list().level(1), "85.4*");
    EXPECT_TRUE(list->printAction()->isEnabled());

    // Another set replaces the open data list.
    QPointer<DataList> first = list;
    window->ShowLoggerSet(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(qobject_cast<DataList *>(window->setWindow()), nullptr);
    EXPECT_EQ(qobject_cast<DataList *>(window->setWindow())->list().count(), 3);
    EXPECT_EQ(labelText(qobject_cast<DataList *>(window->setWindow()), "BoardCA"), "A");

    // After a new download, a set of the new memory window still replaces
    // the data list the old window opened: there is one data list.
    QPointer<QWidget> fromOldWindow = window->setWindow();
    window->close();
    answeredA = 0;
    Memory *again = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_NE(again, nullptr);
    ASSERT_FALSE(fromOldWindow.isNull());
    again->ShowLoggerSet(1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(fromOldWindow.isNull());
    EXPECT_EQ(DataList::openWindow(), again->setWindow());
    EXPECT_EQ(labelText(again->setWindow(), "BoardSFI"), "SLOW");
}

TEST_F(LoggerWindows, TheMemoryWindowFreedAndTheSetsReplacedDuringADecodeHarmNothing)
{
    TestLoggerSet set;
    set.records.assign(20000, 700);
    meterHolds({ set });
    QPointer<Memory> window = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_NE(window, nullptr);
    QTimer::singleShot(0, [&] {
        delete window.data();
        loggerMemory().LoggerSets.clear();
    });
    window->ShowLoggerSet(0);
    EXPECT_TRUE(window.isNull());
    auto *list = qobject_cast<DataList *>(DataList::openWindow());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->list().count(), 20000);
    EXPECT_FALSE(timers.suspended());
}

TEST_F(LoggerWindows, ARowWithoutASetChangesNothingAndRestoresTheTimers)
{
    meterHolds({ TestLoggerSet() });
    Memory *window = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_NE(window, nullptr);
    window->ShowLoggerSet(5);
    window->ShowLoggerSet(-1);
    EXPECT_EQ(qobject_cast<DataList *>(window->setWindow()), nullptr);
    EXPECT_TRUE(timers.timer1Enabled() && timers.timer2Enabled());
    EXPECT_FALSE(timers.suspended());
}

// The file as the layout says, built without the program's writer.
QByteArray expectedLoggerFile(const QStringList &header, const QStringList &rows)
{
    QByteArray out;
    for (const QString &line : header)
        out += line.toLatin1() + "\r\n";
    out += "No.s\tDate Time\tdB\t\r\n";
    for (const QString &row : rows)
        out += row.toLatin1() + "\r\n";
    return out;
}

TEST_F(LoggerWindows, SaveWritesTheDataLoggerFile)
{
    TestLoggerSet set;
    set.interval = 60;
    set.records = { 853, 0x8000 | 854, 5 };
    meterHolds({ set });
    Memory *window = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_NE(window, nullptr);
    window->ShowLoggerSet(0);
    DataList *list = qobject_cast<DataList *>(window->setWindow());
    ASSERT_NE(list, nullptr);

    QTemporaryDir dir;
    const QString path = dir.filePath("set.vorn");
    dialogs.answerSave(path);
    list->saveAction()->trigger();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        file.readAll(),
        expectedLoggerFile({ "Data Logger", " 60 ", "A", "FAST", "80-140", "85.2", "85.2", "85.1",
                             "85.0", "85.0", "85.2", "2013/03/04 08:00:01", "89.9", "85.1" },
                           { "1\t2013/03/04 08:00:00\t85.3\t", "2\t2013/03/04 08:01:00\t85.4*\t",
                             "3\t2013/03/04 08:02:00\t.5\t" }));
    EXPECT_EQ(list->windowTitle(), "Data List");
    EXPECT_TRUE(dialogs.messageTexts().isEmpty());

    // Cancelled: nothing written, nothing said.
    file.close();
    QFile::remove(path);
    list->Save();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(dialogs.messageTexts().isEmpty());

    // A file that cannot be opened is named in the message.
    const QString unwritable = dir.filePath("no/such/folder/set.vorn");
    dialogs.answerSave(unwritable);
    list->Save();
    ASSERT_EQ(dialogs.messageTexts().size(), 1);
    EXPECT_TRUE(dialogs.messageTexts()[0].contains("set.vorn"))
        << dialogs.messageTexts()[0].toStdString();
}

TEST_F(LoggerWindows, EraseDuringADownloadIsIgnored)
{
    meterHolds({});
    stream = loggerStream({ TestLoggerSet() });
    port.setResponder([this](const QByteArray &w) -> QByteArray {
        if (w == "A")
            return answeredA++ == 0 ? Acknowledgement : endPositionReply(111);
        if (w == "L")
            return QByteArray::fromHex("000100");
        if (w == "K") {
            // The user clicks Erase while the stream is still coming.
            QTimer::singleShot(10, &panel, [this] { EraseLoggerMemory(&panel, link, timers); });
            port.feedAfter(100, stream);
        }
        return {};
    });
    Memory *window = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(commands(), (QStringList { "A", "A", "L", "K" }));
    EXPECT_TRUE(dialogs.calls().empty());
    EXPECT_EQ(window->gridSet()->rowCount(), 1);
}

TEST_F(LoggerWindows, PrintGivesTheSetsReport)
{
    TestLoggerSet set;
    set.mode = 0x61;
    set.records = { 853, 0x8000 | 854, 700 };
    meterHolds({ set });
    Memory *window = DownloadLoggerMemory(&panel, link, timers, host);
    ASSERT_NE(window, nullptr);
    window->ShowLoggerSet(0);
    DataList *list = qobject_cast<DataList *>(window->setWindow());
    ASSERT_NE(list, nullptr);

    QTemporaryDir dir;
    ScriptedDialogs::PrinterAnswer printer;
    printer.pdfPath = dir.filePath("report.pdf");
    dialogs.answerPrinter(printer);
    dialogs.answerInput(QStringLiteral("1"));
    list->printAction()->trigger();
    QProcess text;
    text.start("pdftotext", { "-layout", printer.pdfPath, "-" });
    ASSERT_TRUE(text.waitForFinished(10000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains("20-200Hz Filter")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("2013/03/04 08:00:02")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("85.4*")) << printed.toStdString();
    EXPECT_EQ(list->windowTitle(), "Data List");
    EXPECT_TRUE(timers.timer1Enabled() && timers.timer2Enabled());
}

struct EraseCase
{
    const char *name;
    MessageAnswer answer;
    QStringList sent;
};

void PrintTo(const EraseCase &c, std::ostream *os)
{
    *os << c.name;
}

class LoggerErase : public LoggerWindows, public testing::WithParamInterface<EraseCase>
{
};

TEST_P(LoggerErase, ClosesTheMemoryWindowAndSendsHOnlyOnOk)
{
    meterHolds({ TestLoggerSet() });
    ASSERT_NE(DownloadLoggerMemory(&panel, link, timers, host), nullptr);
    port.clearWrites();
    dialogs.answerMessage(GetParam().answer);
    EraseLoggerMemory(&panel, link, timers);
    ASSERT_EQ(dialogs.calls().size(), 1u);
    EXPECT_EQ(dialogs.calls()[0].text, "All saved data in memory will be deleted.");
    EXPECT_EQ(dialogs.calls()[0].title, "Warning");
    EXPECT_EQ(dialogs.calls()[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(Memory::openWindow(), nullptr);
    EXPECT_FALSE(loggerMemory().MemoryWindowOpen);
    EXPECT_EQ(commands(), GetParam().sent);
    EXPECT_TRUE(timersOffDuringCommands);
    EXPECT_TRUE(timers.timer1Enabled() && timers.timer2Enabled());
}

INSTANTIATE_TEST_SUITE_P(Answers, LoggerErase,
                         testing::Values(EraseCase { "Ok", MessageAnswer::Ok, { "H" } },
                                         EraseCase { "Cancel", MessageAnswer::Cancel, {} }),
                         [](const testing::TestParamInfo<EraseCase> &info) {
                             return info.param.name;
                         });

} // namespace

int main(int argc, char **argv)
{
    // Test discovery runs this without the test environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
