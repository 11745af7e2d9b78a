#pragma once

#include "analysis/records/Calibration.h"

#include <QDialog>

class QDoubleSpinBox;
class QLineEdit;
class QPlainTextEdit;

// Edits the measurement's details (site, position, operator, weather,
// notes, the meter, the tolerance) kept beside a data file.
class DetailsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DetailsDialog(const MeasurementDetails &details, QWidget *parent = nullptr);
    MeasurementDetails details() const;

private:
    QLineEdit *m_site;
    QLineEdit *m_position;
    QLineEdit *m_operator;
    QLineEdit *m_weather;
    QPlainTextEdit *m_notes;
    QLineEdit *m_meterMake;
    QLineEdit *m_meterModel;
    QLineEdit *m_meterSerial;
    QLineEdit *m_meterClass;
    QDoubleSpinBox *m_tolerance;
    QLineEdit *m_maxCheckAge;
    QLineEdit *m_timeZone;
    QJsonObject m_otherKeys;
};

// The dialog for the details file of `dataFilePath`: a file that cannot be
// read is only replaced when the user says so. True when details were
// written.
bool EditMeasurementDetails(QWidget *parent, const QString &dataFilePath);
