#include "CalibrationWindow.h"

#include "Panel.h"
#include "analysis/records/Calibration.h"
#include "link/LinkOwner.h"
#include "widgets/Dialogs.h"
#include "widgets/ValueBoard.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

const QString Group = QStringLiteral("Calibration");

QString dB(double v, int decimals = 2)
{
    return QString::number(v, 'f', decimals) + QStringLiteral(" dB");
}

} // namespace

CalibrationWindow::CalibrationWindow(Panel &panel, std::function<bool()> recording, QWidget *parent)
    : QDialog(parent)
    , m_panel(panel)
    , m_recording(std::move(recording))
    , m_logPath(CalibrationLog::userLogPath())
{
    setObjectName(QStringLiteral("CalibrationWindow"));
    setWindowTitle(QStringLiteral("Calibration Check"));
    setAttribute(Qt::WA_DeleteOnClose);

    QSettings settings;
    settings.beginGroup(Group);
    const auto edit = [this, &settings](const char *key, const QString &name) {
        auto *line = new QLineEdit(settings.value(QLatin1String(key)).toString(), this);
        line->setObjectName(QLatin1String(key));
        line->setAccessibleName(name);
        return line;
    };
    m_level = new QComboBox(this);
    m_level->setObjectName(QStringLiteral("calibratorLevel"));
    m_level->setAccessibleName(QStringLiteral("Calibrator level in dB"));
    m_level->setEditable(true);
    m_level->addItems({ QStringLiteral("94.0"), QStringLiteral("114.0") });
    auto *validator = new QDoubleValidator(60.0, 140.0, 1, m_level);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    m_level->setValidator(validator);
    m_level->setCurrentText(QString::number(
        settings.value(QStringLiteral("calibratorLevel"), DefaultLevel).toDouble(), 'f', 1));
    m_calibratorMake = edit("calibratorMake", QStringLiteral("Calibrator make"));
    m_calibratorSerial = edit("calibratorSerial", QStringLiteral("Calibrator serial number"));
    m_meterMake = edit("meterMake", QStringLiteral("Meter make"));
    m_meterSerial = edit("meterSerial", QStringLiteral("Meter serial number"));
    m_meterClass = edit("meterClass", QStringLiteral("Meter class"));
    m_tolerance = new QDoubleSpinBox(this);
    m_tolerance->setObjectName(QStringLiteral("tolerance"));
    m_tolerance->setAccessibleName(QStringLiteral("Tolerance in dB"));
    m_tolerance->setLocale(QLocale::c());
    m_tolerance->setRange(0.1, 2.0);
    m_tolerance->setSingleStep(0.1);
    m_tolerance->setDecimals(1);
    m_tolerance->setSuffix(QStringLiteral(" dB"));
    m_tolerance->setValue(settings.value(QStringLiteral("tolerance"), DefaultTolerance).toDouble());

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Calibrator &level (dB):"), m_level);
    form->addRow(QStringLiteral("Calibrator &make:"), m_calibratorMake);
    form->addRow(QStringLiteral("Calibrator &serial number:"), m_calibratorSerial);
    form->addRow(QStringLiteral("Meter ma&ke:"), m_meterMake);
    form->addRow(QStringLiteral("Meter serial &number:"), m_meterSerial);
    form->addRow(QStringLiteral("Meter &class:"), m_meterClass);
    form->addRow(QStringLiteral("&Tolerance:"), m_tolerance);

    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setObjectName(QStringLiteral("start"));
    m_start->setAccessibleDescription(
        QStringLiteral("Reads the meter for 10 s with the calibrator on the microphone"));
    m_progress = new ValueBoard(QStringLiteral("Progress"),
                                QStringLiteral("Put the calibrator on the microphone and press "
                                               "Start."),
                                this);
    m_progress->setWordWrap(true);

    auto *result = new QGroupBox(QStringLiteral("Result"), this);
    auto *resultForm = new QFormLayout(result);
    const auto board = [&](const QString &caption) {
        auto *b = new ValueBoard(caption, this);
        b->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        resultForm->addRow(caption + QLatin1Char(':'), b);
        return b;
    };
    m_mean = board(QStringLiteral("Mean"));
    m_lowest = board(QStringLiteral("Lowest"));
    m_highest = board(QStringLiteral("Highest"));
    m_deviation = board(QStringLiteral("Deviation"));
    m_verdict = board(QStringLiteral("Verdict"));
    m_verdict->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_start);
    layout->addWidget(m_progress);
    layout->addWidget(result);

    m_progressTimer.setInterval(250);
    connect(&m_progressTimer, &QTimer::timeout, this, &CalibrationWindow::showProgress);
    connect(m_start, &QPushButton::clicked, this, &CalibrationWindow::start);
    connect(&m_panel, &Panel::frameDecoded, this, &CalibrationWindow::takeFrame);
    connect(&m_panel.link(), &LinkOwner::linkLost, this, [this] {
        if (!m_check)
            return;
        m_check->linkLost();
        finish();
    });
}

CalibrationWindow::~CalibrationWindow()
{
    remember();
}

std::optional<double> CalibrationWindow::calibratorLevel() const
{
    bool ok = false;
    const double level = QLocale::c().toDouble(m_level->currentText().trimmed(), &ok);
    if (!ok || level < 60.0 || level > 140.0)
        return std::nullopt;
    return level;
}

void CalibrationWindow::remember() const
{
    QSettings settings;
    settings.beginGroup(Group);
    if (const auto level = calibratorLevel())
        settings.setValue(QStringLiteral("calibratorLevel"), *level);
    for (QLineEdit *line :
         { m_calibratorMake, m_calibratorSerial, m_meterMake, m_meterSerial, m_meterClass })
        settings.setValue(line->objectName(), line->text().trimmed());
    settings.setValue(QStringLiteral("tolerance"), m_tolerance->value());
}

void CalibrationWindow::start()
{
    if (m_check)
        return;
    // The calibrator's tone would go into the recording.
    if (m_recording && m_recording()) {
        dialogs().message(this, QStringLiteral("Recording Mode!\n\rPlease stop recording!"),
                          QString(), MessageIcon::Critical, MessageButtons::Ok);
        return;
    }
    const auto level = calibratorLevel();
    if (!level) {
        dialogs().message(this,
                          QStringLiteral("The calibrator level must be between 60.0 and 140.0 dB."),
                          QString(), MessageIcon::Warning, MessageButtons::Ok);
        return;
    }
    remember();
    m_checkedLevel = *level;
    m_check.emplace(*level);
    for (ValueBoard *b : { m_mean, m_lowest, m_highest, m_deviation, m_verdict })
        b->setText(QString());
    m_start->setEnabled(false);
    m_clock.start();
    m_progressTimer.start();
    showProgress();
}

void CalibrationWindow::takeFrame()
{
    if (!m_check)
        return;
    m_check->add(calibrationLevelOf(m_panel.currentReading()));
}

void CalibrationWindow::showProgress()
{
    if (!m_check)
        return;
    const qint64 left = CalibrationCheck::Seconds * 1000 - m_clock.elapsed();
    if (left <= 0) {
        finish();
        return;
    }
    const auto mean = m_check->mean();
    m_progress->setText(QStringLiteral("Running mean %1, %2 s left")
                            .arg(mean ? dB(*mean) : QStringLiteral("-"))
                            .arg((left + 999) / 1000));
}

void CalibrationWindow::finish()
{
    if (!m_check)
        return;
    m_progressTimer.stop();
    const CalibrationCheck::Result r = m_check->result();
    m_check.reset();
    m_start->setEnabled(true);
    if (r.measured) {
        m_mean->setText(dB(r.mean));
        m_lowest->setText(dB(r.lowest, 1));
        m_highest->setText(dB(r.highest, 1));
        m_deviation->setText(signedHundredthsText(r.deviation) + QStringLiteral(" dB"));
    }
    if (!r.stable) {
        m_verdict->setText(QStringLiteral("Unstable: ") + r.why);
        m_progress->setText(QStringLiteral("The check was not stored."));
        return;
    }
    const CalibrationRecord record = CalibrationRecord::ofCheck(
        r, m_checkedLevel, m_tolerance->value(), m_meterSerial->text().trimmed(),
        m_calibratorSerial->text().trimmed());
    const bool within = withinTolerance(r.deviation, record.tolerance);
    m_verdict->setText(stableCheckText(within));
    const QString error = CalibrationLog::append(m_logPath, record);
    if (!error.isEmpty()) {
        m_progress->setText(QStringLiteral("The check could not be stored."));
        dialogs().message(this, error, QString(), MessageIcon::Critical, MessageButtons::Ok);
        return;
    }
    m_progress->setText(
        QStringLiteral("Stored in \"%1\".").arg(QDir::toNativeSeparators(m_logPath)));
}
