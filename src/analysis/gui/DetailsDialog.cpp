#include "DetailsDialog.h"

#include "analysis/records/SiteZone.h"

#include "widgets/Dialogs.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimeZone>
#include <QVBoxLayout>

DetailsDialog::DetailsDialog(const MeasurementDetails &details, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DetailsDialog"));
    setWindowTitle(QStringLiteral("Measurement Details"));
    auto *form = new QFormLayout;
    const auto line = [&](const QString &label, const char *name, const QString &text) {
        auto *edit = new QLineEdit(text, this);
        edit->setObjectName(QLatin1String(name));
        edit->setAccessibleName(QString(label).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        form->addRow(label, edit);
        return edit;
    };
    m_site = line(QStringLiteral("&Site:"), "site", details.site);
    m_position = line(QStringLiteral("&Position:"), "position", details.position);
    m_operator = line(QStringLiteral("&Operator:"), "operator", details.operatorName);
    m_weather = line(QStringLiteral("&Weather:"), "weather", details.weather);
    m_notes = new QPlainTextEdit(details.notes, this);
    m_notes->setObjectName(QStringLiteral("notes"));
    m_notes->setAccessibleName(QStringLiteral("Notes"));
    m_notes->setTabChangesFocus(true);
    m_notes->setMaximumHeight(m_notes->fontMetrics().lineSpacing() * 5);
    form->addRow(QStringLiteral("&Notes:"), m_notes);
    m_meterMake = line(QStringLiteral("Meter ma&ke:"), "meterMake", details.meterMake);
    m_meterModel = line(QStringLiteral("Meter mo&del:"), "meterModel", details.meterModel);
    m_meterSerial
        = line(QStringLiteral("Meter serial n&umber:"), "meterSerial", details.meterSerial);
    m_meterClass = line(QStringLiteral("Meter &class:"), "meterClass", details.meterClass);
    m_tolerance = new QDoubleSpinBox(this);
    m_tolerance->setObjectName(QStringLiteral("tolerance"));
    m_tolerance->setAccessibleName(QStringLiteral("Tolerance"));
    m_tolerance->setLocale(QLocale::c());
    // The lowest value stands for "none": the check after sets it then.
    m_tolerance->setRange(0.0, 2.0);
    m_tolerance->setSingleStep(0.1);
    m_tolerance->setDecimals(1);
    m_tolerance->setSuffix(QStringLiteral(" dB"));
    m_tolerance->setSpecialValueText(QStringLiteral("as recorded with the check"));
    m_tolerance->setValue(details.tolerance.value_or(0.0));
    form->addRow(QStringLiteral("&Tolerance:"), m_tolerance);
    m_maxCheckAge = line(QStringLiteral("&Max check age:"), "maxCheckAge", details.maxCheckAge);
    m_maxCheckAge->setPlaceholderText(QStringLiteral("any age (e.g. 12h, 7d)"));
    m_maxCheckAge->setToolTip(QStringLiteral("Calibration checks further than this from the "
                                             "readings leave them not verified"));
    m_timeZone = line(QStringLiteral("Time &zone:"), "timeZone", details.timeZone);
    m_timeZone->setPlaceholderText(
        QStringLiteral("this computer's (%1)").arg(QString::fromUtf8(QTimeZone::systemTimeZoneId())));
    m_timeZone->setToolTip(QStringLiteral("The site's zone (e.g. Europe/Berlin): the readings' "
                                          "time stamps are its wall clock"));
    // Keys this program does not know go back into the file as they were.
    m_otherKeys = details.otherKeys;

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        const QString age = m_maxCheckAge->text().trimmed();
        if (!age.isEmpty() && !parseCheckAge(age)) {
            dialogs().message(this,
                              QStringLiteral("\"%1\" is no duration: write it as 12h or 7d, or "
                                             "leave the field empty.")
                                  .arg(age),
                              QString(), MessageIcon::Warning, MessageButtons::Ok);
            return;
        }
        const QString zone = m_timeZone->text().trimmed();
        if (!zone.isEmpty() && !isKnownZone(zone)) {
            dialogs().message(this,
                              QStringLiteral("\"%1\" is no time zone: write its name, such as "
                                             "Europe/Berlin, or leave the field empty.")
                                  .arg(zone),
                              QString(), MessageIcon::Warning, MessageButtons::Ok);
            return;
        }
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

MeasurementDetails DetailsDialog::details() const
{
    MeasurementDetails d;
    d.site = m_site->text().trimmed();
    d.position = m_position->text().trimmed();
    d.operatorName = m_operator->text().trimmed();
    d.weather = m_weather->text().trimmed();
    d.notes = m_notes->toPlainText().trimmed();
    d.meterMake = m_meterMake->text().trimmed();
    d.meterModel = m_meterModel->text().trimmed();
    d.meterSerial = m_meterSerial->text().trimmed();
    d.meterClass = m_meterClass->text().trimmed();
    // Below 0.1 dB is the "none" the box offers first.
    if (m_tolerance->value() >= 0.1)
        d.tolerance = m_tolerance->value();
    d.maxCheckAge = m_maxCheckAge->text().trimmed();
    d.timeZone = m_timeZone->text().trimmed();
    d.otherKeys = m_otherKeys;
    return d;
}

bool EditMeasurementDetails(QWidget *parent, const QString &dataFilePath)
{
    const QString path = MeasurementDetails::pathFor(dataFilePath);
    QString problem;
    const std::optional<MeasurementDetails> existing = MeasurementDetails::read(path, &problem);
    if (!problem.isEmpty()
        && dialogs().message(parent,
                             problem + QStringLiteral("\nReplace it with the details you enter?"),
                             QString(), MessageIcon::Warning, MessageButtons::YesNo)
            != MessageAnswer::Yes)
        return false;
    QPointer<DetailsDialog> dialog
        = new DetailsDialog(existing.value_or(MeasurementDetails {}), parent);
    const int answer = dialog->exec();
    // The window that asked may be gone after the wait.
    if (!dialog)
        return false;
    const MeasurementDetails details = dialog->details();
    delete dialog;
    if (answer != QDialog::Accepted)
        return false;
    if (const QString error = details.write(path); !error.isEmpty()) {
        dialogs().message(parent, error, QString(), MessageIcon::Critical, MessageButtons::Ok);
        return false;
    }
    return true;
}
