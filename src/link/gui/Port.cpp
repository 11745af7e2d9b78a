#include "Port.h"

#include "link/PortChoice.h"
#include "link/Twips.h"
#include "platform/ComPortNames.h"

#include <QComboBox>
#include <QCompleter>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QSerialPortInfo>
#include <QVBoxLayout>

namespace {

// Window geometry, twips.
constexpr int CompactWidth = 2100;
constexpr int CompactHeight = 1530;
constexpr int HelpWidth = 4425;
constexpr int HelpHeight = 3150;
constexpr int WindowLeft = 3700;
constexpr int WindowTop = 2700;
constexpr int Margin = 120;
constexpr int ControlWidth = CompactWidth - 2 * Margin;
constexpr int ComboHeight = 360;
constexpr int ButtonHeight = 390;

} // namespace

Port::Port(QWidget *parent)
    : QWidget(parent)
    , m_txtCom(new QComboBox(this))
    , m_cmdOk(new QPushButton(QStringLiteral("OK"), this))
    , m_cmdDevice(new QPushButton(QStringLiteral("Device Manager"), this))
    , m_picDevice(new QFrame(this))
    , m_helpText(new QLabel)
    , m_cmdGo(new QPushButton(QStringLiteral("OK"), m_picDevice))
{
    setObjectName(QStringLiteral("Port"));
    setWindowTitle(QStringLiteral("COM Port"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_txtCom->setObjectName(QStringLiteral("TxtCOM"));
    m_txtCom->setAccessibleName(QStringLiteral("COM port"));
    m_txtCom->setEditable(true);
    m_txtCom->setInsertPolicy(QComboBox::NoInsert);
    // Names count exactly, typed or picked: a completion that ignored case
    // would turn "com3" into "COM3" on Enter while OK refuses it.
    m_txtCom->completer()->setCaseSensitivity(Qt::CaseSensitive);
    m_txtCom->addItems(ComPortNames::names());
    m_txtCom->setCurrentIndex(0);
    m_txtCom->setEditText(QStringLiteral("COM1"));

    m_cmdOk->setObjectName(QStringLiteral("CmdOK"));
    m_cmdOk->setAccessibleName(QStringLiteral("OK"));
    m_cmdOk->setDefault(true);
    m_cmdDevice->setObjectName(QStringLiteral("CmdDevice"));
    m_cmdDevice->setAccessibleName(QStringLiteral("Device Manager"));

    m_picDevice->setObjectName(QStringLiteral("Picdevice"));
    m_picDevice->setAccessibleName(QStringLiteral("Serial ports"));
    m_picDevice->setFrameShape(QFrame::StyledPanel);
    m_picDevice->setFrameShadow(QFrame::Sunken);
    m_picDevice->setAutoFillBackground(true);
    m_picDevice->setBackgroundRole(QPalette::Base);
    m_helpText->setObjectName(QStringLiteral("LblPortHelp"));
    m_helpText->setWordWrap(true);
    m_helpText->setTextFormat(Qt::PlainText);
    m_helpText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_helpText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont small = m_helpText->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_helpText->setFont(small);
    auto *scroll = new QScrollArea(m_picDevice);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(m_helpText);
    m_cmdGo->setObjectName(QStringLiteral("CmdGo"));
    m_cmdGo->setAccessibleName(QStringLiteral("OK"));
    auto *picLayout = new QVBoxLayout(m_picDevice);
    picLayout->setContentsMargins(4, 4, 4, 4);
    picLayout->setSpacing(4);
    picLayout->addWidget(scroll, 1);
    picLayout->addWidget(m_cmdGo, 0, Qt::AlignRight);
    m_picDevice->hide();

    // The controls stay where they are in both sizes; the help picture takes
    // the room the larger size adds on the right.
    m_txtCom->setGeometry(px(Margin), py(Margin), px(ControlWidth), py(ComboHeight));
    const int okTop = Margin + ComboHeight + 60;
    m_cmdOk->setGeometry(px(Margin), py(okTop), px(ControlWidth), py(ButtonHeight));
    m_cmdDevice->setGeometry(px(Margin), py(okTop + ButtonHeight + 45), px(ControlWidth),
                             py(ButtonHeight));
    m_picDevice->setGeometry(px(CompactWidth), py(Margin / 2),
                             px(HelpWidth - CompactWidth - Margin / 2), py(HelpHeight - Margin));

    setFixedSize(compactSize());
    move(px(WindowLeft), py(WindowTop));

    connect(m_cmdOk, &QPushButton::clicked, this, &Port::accept);
    // Enter in the port name accepts, as OK does.
    connect(m_txtCom->lineEdit(), &QLineEdit::returnPressed, this, &Port::accept);
    connect(m_cmdDevice, &QPushButton::clicked, this, &Port::showHelp);
    connect(m_cmdGo, &QPushButton::clicked, this, &Port::startDeviceManager);
}

int Port::px(int twips) const
{
    return TwipsToPixels(twips, logicalDpiX());
}

int Port::py(int twips) const
{
    return TwipsToPixels(twips, logicalDpiY());
}

QSize Port::compactSize() const
{
    return { px(CompactWidth), py(CompactHeight) };
}

QSize Port::helpSize() const
{
    return { px(HelpWidth), py(HelpHeight) };
}

void Port::accept()
{
    m_comPortNumber = ComPortNumberOfText(m_txtCom->currentText(), m_comPortNumber);
    Q_EMIT portChosen(m_comPortNumber);
    close();
}

void Port::fillHelpPicture()
{
    QList<QPair<QString, QString>> present;
#ifdef Q_OS_WIN
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        present.append({ info.portName(), info.description() });
    m_helpText->setText(WindowsPortHelpText(present));
#else
    QStringList comDevices;
    for (int n = ComPortNames::FirstPort; n <= ComPortNames::LastPort; ++n)
        comDevices << ComPortNames::devicePath(n);
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        present.append({ info.systemLocation(), info.description() });
    m_helpText->setText(
        PortHelpText(PortHelpRows(comDevices, present), ComPortNames::portsFolder()));
#endif
}

void Port::showHelp()
{
    fillHelpPicture();
    m_picDevice->show();
    setFixedSize(helpSize());
}

void Port::startDeviceManager()
{
#ifdef Q_OS_WIN
    // Not waited for; if it cannot start, the window simply stays as it is.
    QProcess::startDetached(QStringLiteral("c:\\windows\\system32\\mmc.exe"),
                            { QStringLiteral("c:\\windows\\system32\\devmgmt.msc") });
#endif
    m_picDevice->hide();
    setFixedSize(compactSize());
}
