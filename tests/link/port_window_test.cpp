#include "link/gui/Port.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class PortWindowTest : public ::testing::Test
{
protected:
    template<typename T> T *child(const char *name)
    {
        T *w = port.findChild<T *>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    int choose(const QString &text)
    {
        int chosen = -1;
        const QMetaObject::Connection c
            = QObject::connect(&port, &Port::portChosen, [&](int n) { chosen = n; });
        child<QComboBox>("TxtCOM")->setEditText(text);
        child<QPushButton>("CmdOK")->click();
        QObject::disconnect(c);
        return chosen;
    }

    Port port;
};

TEST_F(PortWindowTest, OpensCompactWithSixteenNamesAndCom1)
{
    EXPECT_EQ(port.windowTitle(), QStringLiteral("COM Port"));
    auto *combo = child<QComboBox>("TxtCOM");
    ASSERT_EQ(combo->count(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(combo->itemText(i), QStringLiteral("COM%1").arg(i + 1));
    EXPECT_EQ(combo->currentText(), QStringLiteral("COM1"));
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(child<QPushButton>("CmdOK")->text(), QStringLiteral("OK"));
    EXPECT_EQ(child<QPushButton>("CmdDevice")->text(), QStringLiteral("Device Manager"));
    EXPECT_TRUE(child<QFrame>("Picdevice")->isHidden());
    const double dpiX = port.logicalDpiX();
    const double dpiY = port.logicalDpiY();
    EXPECT_EQ(port.size(), QSize(qRound(2100 * dpiX / 1440), qRound(1530 * dpiY / 1440)));
    EXPECT_EQ(port.pos(), QPoint(qRound(3700 * dpiX / 1440), qRound(2700 * dpiY / 1440)));
}

TEST_F(PortWindowTest, OkWithoutChangeChoosesCom1)
{
    port.show();
    int chosen = -1;
    QObject::connect(&port, &Port::portChosen, [&](int n) { chosen = n; });
    child<QPushButton>("CmdOK")->click();
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(port.comPortNumber(), 1);
    EXPECT_FALSE(port.isVisible()); // closed after handing over
}

// Typed key by key, so that the combo box's completion has its say.
TEST(PortWindowTyping, EnterAndOkGiveTheSameAnswerForTheSameText)
{
    const struct
    {
        const char *typed;
        int expected;
    } cases[] = { { "COM12", 12 }, { "COM3", 3 }, { "com3", 0 }, { "Com1", 0 }, { "COM3 ", 0 } };
    for (const auto &c : cases) {
        int byEnter = -1;
        int byOk = -1;
        for (const bool enter : { true, false }) {
            Port port;
            port.show();
            int &chosen = enter ? byEnter : byOk;
            QObject::connect(&port, &Port::portChosen, [&chosen](int n) { chosen = n; });
            auto *combo = port.findChild<QComboBox *>(QStringLiteral("TxtCOM"));
            combo->lineEdit()->clear();
            QTest::keyClicks(combo->lineEdit(), QLatin1String(c.typed));
            if (enter)
                QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
            else
                port.findChild<QPushButton *>(QStringLiteral("CmdOK"))->click();
        }
        EXPECT_EQ(byEnter, c.expected) << c.typed;
        EXPECT_EQ(byOk, c.expected) << c.typed;
    }
}

TEST_F(PortWindowTest, OnlyExactNamesChoose)
{
    EXPECT_EQ(choose(QStringLiteral("COM16")), 16);
    EXPECT_EQ(choose(QStringLiteral("com3")), 16); // keeps the previous number
}

TEST_F(PortWindowTest, TypedNameThatIsNotAPortLeavesZero)
{
    EXPECT_EQ(choose(QStringLiteral("COM3 ")), 0);
}

TEST_F(PortWindowTest, HelpPictureEnlargesAndItsOkGivesTheCompactWindowBack)
{
    const QSize compact = port.size();
    child<QComboBox>("TxtCOM")->setEditText(QStringLiteral("COM7"));
    child<QPushButton>("CmdDevice")->click();
    EXPECT_FALSE(child<QFrame>("Picdevice")->isHidden());
    EXPECT_EQ(port.size(), port.helpSize());
    EXPECT_TRUE(child<QLabel>("LblPortHelp")
                    ->text()
                    .contains(QStringLiteral("COM1-8 \u2192 /dev/ttyUSB0-7")));
    EXPECT_EQ(child<QPushButton>("CmdGo")->text(), QStringLiteral("OK"));
    child<QPushButton>("CmdGo")->click();
    EXPECT_TRUE(child<QFrame>("Picdevice")->isHidden());
    EXPECT_EQ(port.size(), compact);
    EXPECT_EQ(child<QComboBox>("TxtCOM")->currentText(), QStringLiteral("COM7"));
    EXPECT_TRUE(child<QPushButton>("CmdOK")->isEnabled());
}

// Saves both looks of the window when VORN_SCREENSHOT_DIR names a folder.
TEST_F(PortWindowTest, Screenshots)
{
    const QString dir = qEnvironmentVariable("VORN_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VORN_SCREENSHOT_DIR not set";
    port.show();
    QApplication::processEvents();
    EXPECT_TRUE(port.grab().save(QDir(dir).filePath(QStringLiteral("port-compact.png"))));
    child<QPushButton>("CmdDevice")->click();
    QApplication::processEvents();
    EXPECT_TRUE(port.grab().save(QDir(dir).filePath(QStringLiteral("port-help.png"))));
}

} // namespace

int main(int argc, char **argv)
{
    // Test discovery runs this without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
