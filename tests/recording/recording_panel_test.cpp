#include "panel/windows/LiveSession.h"
#include "panel/windows/Panel.h"
#include "panel/windows/PanelToolbar.h"
#include "recording/MeasurementState.h"
#include "recording/windows/RecordingController.h"
#include "ui/core/Delay.h"
#include "support/FakeSerialPort.h"
#include "support/ScriptedDialogs.h"

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
        m_panel = std::make_unique<Panel>(3, std::make_unique<FakeSerialPort>());
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
    // Lets Timer2 tick on its own; the first tick after a start only counts.
    void runSampleTicks(double seconds)
    {
        m_panel->timers().setTimer2Enabled(true);
        Delay(seconds);
        m_panel->timers().setTimer2Enabled(false);
    }
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    ScriptedDialogs m_dialogs;
    QTemporaryDir m_dir;
    QString m_oldFolder;
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
    EXPECT_EQ(m_session->state().List.level(0), QStringLiteral("140.0")); // LblValue
    EXPECT_EQ(qobject_cast<QLabel *>(child("BoardLeq"))->text(), QStringLiteral(".0"));
    EXPECT_FALSE(qobject_cast<QLabel *>(child("LblCount"))->text().isEmpty());

    click("Save");
    EXPECT_FALSE(m_panel->toolbar()->isRecording());
    QFile file(path("panel.vorn"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("Real Time\r\n 1 \r\n\r\nSlow\r\n80-140\r\n 0 \r\n"));
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

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
