#include "panel/gui/LiveSession.h"
#include "panel/gui/Panel.h"
#include "panel/gui/PanelToolbar.h"
#include "recording/MeasurementState.h"
#include "recording/gui/RecordingController.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedDialogs.h"
#include "platform/Delay.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class RecordingPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_oldFolder = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        auto port = std::make_unique<FakeSerialPort>();
        m_port = port.get();
        m_port->open(3);
        m_panel = std::make_unique<Panel>(3, std::move(port));
        m_session = new LiveSession(*m_panel); // owned by the panel
    }
    void TearDown() override
    {
        m_panel.reset();
        QDir::setCurrent(m_oldFolder);
    }

    void click(const char *key) { m_panel->toolbar()->button(QString::fromLatin1(key))->click(); }
    QWidget *child(const char *name) const
    {
        return m_panel->findChild<QWidget *>(QString::fromLatin1(name));
    }
    // Lets both timers tick on their own while the meter sends 71.3 dB (range
    // 80-140, SLOW, A) ten times a second; the first tick after a start only
    // counts.
    void runSampleTicks(double seconds)
    {
        for (int at = 0; at < seconds * 1000; at += 100)
            m_port->feedAfter(at, QByteArray::fromHex("020001") + QByteArray::fromHex("02c903"));
        m_panel->timers().setBothEnabled(true);
        Delay(seconds);
        m_panel->timers().setBothEnabled(false);
    }
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    ScriptedDialogs m_dialogs;
    QTemporaryDir m_dir;
    QString m_oldFolder;
    FakeSerialPort *m_port = nullptr;
    std::unique_ptr<Panel> m_panel;
    LiveSession *m_session = nullptr;
};

TEST_F(RecordingPanelTest, SaveKeyShowsTheChoiceAndAnyKeyHidesIt)
{
    click("Save");
    EXPECT_FALSE(child("PicSave")->isHidden());
    click("Refresh");
    EXPECT_TRUE(child("PicSave")->isHidden());
}

TEST_F(RecordingPanelTest, TimerTwoRecordsTheLiveValueUntilTheSaveKeyStops)
{
    m_dialogs.answerSave(path("panel.vorn"));
    click("Save");
    qobject_cast<QPushButton *>(child("CmdSaveOK"))->click();
    ASSERT_TRUE(m_panel->toolbar()->isRecording());
    EXPECT_EQ(m_panel->toolbar()->button(QStringLiteral("Save"))->toolTip(),
              QStringLiteral("Stop Recording"));

    runSampleTicks(2.5);
    EXPECT_GE(m_session->state().List.count(), 1);
    ASSERT_GE(m_session->state().List.count(), 1);
    EXPECT_EQ(m_session->state().List.level(0), QStringLiteral("71.3")); // LblValue
    EXPECT_EQ(qobject_cast<QLabel *>(child("BoardLeq"))->text(), QStringLiteral("71.3"));
    EXPECT_FALSE(qobject_cast<QLabel *>(child("LblCount"))->text().isEmpty());

    click("Save");
    EXPECT_FALSE(m_panel->toolbar()->isRecording());
    QFile file(path("panel.vorn"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("Real Time\r\n 1 \r\nA\r\nSLOW\r\n80-140\r\n71.3\r\n"))
        << bytes.left(60).toStdString();
    EXPECT_TRUE(bytes.contains("\r\n1\t"));
}

TEST_F(RecordingPanelTest, ClosingThePanelFinishesTheRecordingFirst)
{
    m_dialogs.answerSave(path("closed.vorn"));
    click("Save");
    qobject_cast<QPushButton *>(child("CmdSaveOK"))->click();
    runSampleTicks(2.5);
    m_panel->close();
    EXPECT_TRUE(QFile::exists(path("closed.vorn")));
    EXPECT_FALSE(m_session->recording().recording());
}

TEST_F(RecordingPanelTest, WithoutAFreshFrameTheTickSamplesNothing)
{
    // The panel has shown a level once, then the meter says nothing more.
    m_port->feed(QByteArray::fromHex("020001") + QByteArray::fromHex("02c903"));
    m_panel->pollTick();
    m_panel->timers().setTimer2Enabled(true);
    Delay(3.2);
    m_panel->timers().setTimer2Enabled(false);
    // Only the ticks within 1.5 s of the frame count.
    EXPECT_LE(m_session->state().LiveCount, 1);
    EXPECT_LE(m_session->state().List.count(), 1);
    EXPECT_LE(m_session->state().History.LiveLogIndex, 1);
}

TEST_F(RecordingPanelTest, MemoryIsRefusedWhileRecordingAsOpenIs)
{
    m_dialogs.answerSave(path("busy.vorn"));
    click("Save");
    qobject_cast<QPushButton *>(child("CmdSaveOK"))->click();
    ASSERT_TRUE(m_panel->toolbar()->isRecording());
    m_port->clearWrites();
    for (const char *key : { "Memory", "Open" }) {
        click(key);
        Delay(0.05);
        ASSERT_FALSE(m_dialogs.calls().empty()) << key;
        const auto &refusal = m_dialogs.calls().back();
        EXPECT_EQ(refusal.text, QStringLiteral("Recording Mode!\n\rPlease stop recording!")) << key;
        EXPECT_EQ(refusal.icon, MessageIcon::Critical) << key;
    }
    EXPECT_TRUE(m_port->written().isEmpty()); // nothing asked of the meter
    click("Save");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
