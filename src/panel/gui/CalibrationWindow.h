#pragma once

#include "analysis/CalibrationCheck.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <optional>

class Panel;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class ValueBoard;

// The field calibration check: with the calibrator on the microphone,
// "Start" takes the levels the panel's poll receives for ten seconds (no
// command goes to the meter), shows the running mean and the time left,
// then the result. A stable check is appended to the calibration log.
// Everything but the measured values is remembered between runs.
class CalibrationWindow : public QDialog
{
    Q_OBJECT

public:
    CalibrationWindow(Panel &panel, std::function<bool()> recording, QWidget *parent = nullptr);
    ~CalibrationWindow() override;

    // The log a stable check goes to: the user's, unless a test names one.
    void setLogPath(const QString &path) { m_logPath = path; }
    bool running() const { return m_check.has_value(); }

    static constexpr double DefaultLevel = 94.0;
    static constexpr double DefaultTolerance = 0.5;

private:
    void start();
    void takeFrame();
    void showProgress();
    void finish();
    void remember() const;
    std::optional<double> calibratorLevel() const;

    Panel &m_panel;
    std::function<bool()> m_recording;
    QString m_logPath;
    QComboBox *m_level = nullptr;
    QLineEdit *m_calibratorMake = nullptr;
    QLineEdit *m_calibratorSerial = nullptr;
    QLineEdit *m_meterMake = nullptr;
    QLineEdit *m_meterSerial = nullptr;
    QLineEdit *m_meterClass = nullptr;
    QDoubleSpinBox *m_tolerance = nullptr;
    QPushButton *m_start = nullptr;
    ValueBoard *m_progress = nullptr;
    ValueBoard *m_mean = nullptr;
    ValueBoard *m_lowest = nullptr;
    ValueBoard *m_highest = nullptr;
    ValueBoard *m_deviation = nullptr;
    ValueBoard *m_verdict = nullptr;
    std::optional<CalibrationCheck> m_check;
    double m_checkedLevel = DefaultLevel;
    QElapsedTimer m_clock;
    QTimer m_progressTimer;
};
