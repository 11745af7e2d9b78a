#include "SeriesWindow.h"
#include "SeriesWindowParts.h"
#include "analysis/Wording.h"
#include "analysis/output/Outputs.h"
#include "analysis/records/StationFolder.h"
#include "analysis/records/Weather.h"
#include "analysis/series/SeriesDocument.h"

#include "OpenDataFile.h"
#include "ReportCommand.h"
#include "analysis/records/CivilTime.h"
#include "analysis/report/Report.h"
#include "recording/FormatTenths.h"
#include "widgets/Dialogs.h"
#include "widgets/ValueBoard.h"

#include "widgets/QCustomPlotInclude.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

#include <cmath>

using namespace SeriesWindowParts;

const LoadedSeries &SeriesWindow::series() const
{
    return m_document->series();
}

const FileFigures &SeriesWindow::report() const
{
    return m_document->figures();
}

const SeriesLimits &SeriesWindow::limits() const
{
    return m_document->limits();
}

const std::vector<Exclusion> &SeriesWindow::exclusions() const
{
    return m_document->exclusions();
}

QString SeriesWindow::exclusionsPath() const
{
    return m_document->exclusionsPath();
}

QString SeriesWindow::exclusionsProblem() const
{
    return m_document->exclusionsProblem();
}

bool SeriesWindow::exclusionsUnsaved() const
{
    return m_document->exclusionsUnsaved();
}

bool SeriesWindow::exclusionsSaving() const
{
    return m_document->exclusionsSaving();
}

QString SeriesWindow::limitsSettingKey(const QString &folder)
{
    return SeriesDocument::limitsSettingKey(folder);
}

SeriesWindow::SeriesWindow(LoadedSeries &&series, int64_t intervalLength, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_document(new SeriesDocument(std::move(series), intervalLength, this))
{
    setObjectName(QStringLiteral("SeriesWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    setWindowTitle(seriesTitle(report().joined));
    setAccessibleName(windowTitle());
    const SeriesReadings &readings = m_document->series().readings;
    if (!readings.times.empty()) {
        m_seriesStart = double(readings.times.front());
        m_seriesEnd = double(readings.times.back()) + readings.sampleInterval;
    }
    build();
    fillEvents();
    connect(m_document, &SeriesDocument::figuresChanged, this, &SeriesWindow::showFigures);
    connect(m_document, &SeriesDocument::limitsChanged, this, [this] {
        fillIntervals();
        redraw();
    });
    connect(m_document, &SeriesDocument::exclusionsStateChanged, this, [this] {
        fillFigures();
        fillExclusions();
    });
    connect(m_document, &SeriesDocument::saveFailed, this, [this](const QString &why) {
        dialogs().message(this,
                          QStringLiteral("The exclusions are not saved: %1\nThey apply in this "
                                         "window; choose Save Exclusions to try again.")
                              .arg(why),
                          QString(), MessageIcon::Critical, MessageButtons::Ok);
    });
    showFigures();
    resize(1200, 800);
    showAll();
}

void SeriesWindow::showFigures()
{
    fillFigures();
    fillIntervals();
    fillDays();
    fillExclusions();
    drawExclusions();
    // A tab out of sight is filled when it is shown.
    m_noiseEventsStale = m_assessmentStale = true;
    fillShownTab();
    drawWeather();
    redraw();
}

void SeriesWindow::addExclusion(const Exclusion &exclusion)
{
    m_document->addExclusion(exclusion);
}

void SeriesWindow::replaceExclusion(int row, const Exclusion &exclusion)
{
    m_document->replaceExclusion(row, exclusion);
}

void SeriesWindow::removeExclusion(int row)
{
    m_document->removeExclusion(row);
}

bool SeriesWindow::saveExclusions()
{
    const QString why = m_document->saveExclusions();
    if (why.isEmpty())
        return true;
    dialogs().message(this,
                      QStringLiteral("The exclusions are not saved: %1\nThey apply in this "
                                     "window; choose Save Exclusions to try again.")
                          .arg(why),
                      QString(), MessageIcon::Critical, MessageButtons::Ok);
    return false;
}

void SeriesWindow::setSelection(double from, double to)
{
    if (to < from)
        std::swap(from, to);
    m_selection = std::make_pair(from, to);
    m_selectionItem->topLeft->setCoords(from, 0.0);
    m_selectionItem->bottomRight->setCoords(to, 1.0);
    m_selectionItem->setVisible(to > from);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

std::optional<Exclusion> SeriesWindow::askExclusion(const Exclusion &shown, const QString &title)
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("ExclusionDialog"));
    dialog.setWindowTitle(title);
    dialog.setAccessibleName(title);
    auto *form = new QFormLayout(&dialog);
    const auto timeEdit = [&dialog](const QString &name, int64_t civil) {
        auto *edit = new QDateTimeEdit(wallClockOf(civil), &dialog);
        edit->setObjectName(name);
        edit->setAccessibleName(name);
        edit->setTimeSpec(Qt::UTC);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        edit->setCalendarPopup(true);
        return edit;
    };
    // The moments shown as the site's wall clock.
    QDateTimeEdit *start = timeEdit(QStringLiteral("Start"), CivilTime::civilOfUtc(shown.start));
    QDateTimeEdit *end = timeEdit(QStringLiteral("End"), CivilTime::civilOfUtc(shown.end));
    end->setToolTip(QStringLiteral("The first moment not excluded"));
    auto *reason = new QComboBox(&dialog);
    reason->setObjectName(QStringLiteral("Reason"));
    reason->setAccessibleName(QStringLiteral("Reason"));
    reason->addItems(exclusionReasonTexts());
    reason->setCurrentIndex(int(shown.reason));
    auto *note = new QLineEdit(shown.note, &dialog);
    note->setObjectName(QStringLiteral("Note"));
    note->setAccessibleName(QStringLiteral("Note"));
    form->addRow(QStringLiteral("&Start"), start);
    form->addRow(QStringLiteral("&End (not included)"), end);
    form->addRow(QStringLiteral("&Reason"), reason);
    form->addRow(QStringLiteral("&Note"), note);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        if (civilOfWallClock(end->dateTime()) <= civilOfWallClock(start->dateTime())) {
            dialogs().message(&dialog, QStringLiteral("The end must come after the start."),
                              QString(), MessageIcon::Warning, MessageButtons::Ok);
            return;
        }
        dialog.accept();
    });
    const QPointer<SeriesWindow> self(this);
    if (dialog.exec() != QDialog::Accepted || !self)
        return std::nullopt;
    Exclusion made
        = makeExclusion(CivilTime::utcOf(civilOfWallClock(start->dateTime())),
                        CivilTime::utcOf(civilOfWallClock(end->dateTime())),
                        ExclusionReason(reason->currentIndex()), note->text(), shown.made);
    // Times left as they were keep their text (and their offset) as written.
    if (made.start == shown.start && !shown.startText.isEmpty())
        made.startText = shown.startText;
    if (made.end == shown.end && !shown.endText.isEmpty())
        made.endText = shown.endText;
    return made;
}

void SeriesWindow::exclude()
{
    const QCPRange view = m_plot->xAxis->range();
    const auto [from, to] = m_selection.value_or(std::make_pair(view.lower, view.upper));
    // The graph runs on the site's wall clock; an exclusion holds moments.
    Exclusion shown;
    shown.start = CivilTime::utcOf(int64_t(std::floor(from)));
    shown.end = CivilTime::utcOf(int64_t(std::ceil(to)));
    shown.reason = ExclusionReason::ExtraneousSound;
    shown.made = CivilTime::toIsoWithOffset(QDateTime::currentDateTime());
    const QPointer<SeriesWindow> self(this);
    const std::optional<Exclusion> made = askExclusion(shown, QStringLiteral("Exclude"));
    if (!self || !made)
        return;
    addExclusion(*made);
    m_selection.reset();
    m_selectionItem->setVisible(false);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void SeriesWindow::editExclusion(int row)
{
    if (row < 0 || size_t(row) >= m_document->exclusions().size())
        return;
    const QPointer<SeriesWindow> self(this);
    const Exclusion shown = m_document->exclusions()[size_t(row)];
    const std::optional<Exclusion> made = askExclusion(shown, QStringLiteral("Edit Exclusion"));
    // The list may have changed while the dialog was open.
    if (!self || !made || size_t(row) >= m_document->exclusions().size()
        || !(m_document->exclusions()[size_t(row)] == shown))
        return;
    replaceExclusion(row, *made);
}

ValueBoard *SeriesWindow::board(const QString &caption) const
{
    for (ValueBoard *b : m_boards)
        if (b->caption() == caption)
            return b;
    return caption == m_cursor->caption() ? m_cursor : nullptr;
}

bool SeriesWindow::setLimitsText(const QString &text)
{
    if (const QString why = m_document->setLimitsText(text); !why.isEmpty()) {
        dialogs().message(this, why, QString(), MessageIcon::Warning, MessageButtons::Ok);
        return false;
    }
    const auto &schedule = m_document->limits().schedule;
    if (m_limitsEdit->text() != (schedule ? schedule->text() : QString()))
        m_limitsEdit->setText(schedule ? schedule->text() : QString());
    return true;
}

bool SeriesWindow::setEventThreshold(const QString &text)
{
    if (const QString why = m_document->setEventThreshold(text); !why.isEmpty()) {
        dialogs().message(this, why, QString(), MessageIcon::Warning, MessageButtons::Ok);
        m_eventsEdit->setText(m_eventsShown);
        return false;
    }
    m_eventsShown = text.trimmed();
    m_eventsEdit->setText(m_eventsShown);
    return true;
}

bool SeriesWindow::setPeriodLimitsText(const QString &text)
{
    if (const QString why = m_document->setPeriodLimitsText(text); !why.isEmpty()) {
        dialogs().message(this, why, QString(), MessageIcon::Warning, MessageButtons::Ok);
        m_periodLimitsEdit->setText(m_periodLimitsShown);
        return false;
    }
    m_periodLimitsShown = text.trimmed();
    m_periodLimitsEdit->setText(m_periodLimitsShown);
    return true;
}

bool SeriesWindow::setWeatherRulesText(const QString &text)
{
    if (const QString why = m_document->setWeatherRulesText(text); !why.isEmpty()) {
        dialogs().message(this, why, QString(), MessageIcon::Warning, MessageButtons::Ok);
        m_weatherRulesEdit->setText(m_weatherRulesShown);
        return false;
    }
    m_weatherRulesShown = text.trimmed();
    m_weatherRulesEdit->setText(m_weatherRulesShown);
    return true;
}

bool SeriesWindow::importWeather(const QString &path)
{
    if (const QString why = m_document->importWeather(path); !why.isEmpty()) {
        dialogs().message(this, why, QString(), MessageIcon::Warning, MessageButtons::Ok);
        return false;
    }
    return true;
}

bool SeriesWindow::setIntervalLength(int64_t seconds)
{
    const int64_t shown = m_document->intervalLength();
    if (seconds == shown)
        return true;
    const QPointer<SeriesWindow> self(this);
    std::optional<LoadedSeries> loaded
        = loadWithProgress(m_document->series().files, SeriesDocument::requestFor(seconds), this);
    if (!self)
        return false;
    if (!loaded || !loaded->outcome.report) {
        for (int i = 0; i < m_length->count(); ++i)
            if (m_length->itemData(i).toLongLong() == shown)
                m_length->setCurrentIndex(i);
        return false;
    }
    m_document->replaceSeries(std::move(*loaded), seconds);
    return true;
}

QString SeriesWindow::intervalsCsv() const
{
    return m_document->intervalsCsv();
}

QString SeriesWindow::daysCsv() const
{
    return m_document->daysCsv();
}

bool SeriesWindow::exportCsv(const QString &which)
{
    QString path = dialogs().saveFileName(this, QStringLiteral("CSV Files (*.csv)|*.csv|"), true);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    const QString text = which == QLatin1String("days") ? daysCsv() : intervalsCsv();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        dialogs().message(this,
                          QStringLiteral("\"%1\" cannot be written: %2")
                              .arg(QDir::toNativeSeparators(path), file.errorString()),
                          QString(), MessageIcon::Critical, MessageButtons::Ok);
        return false;
    }
    return true;
}

void SeriesWindow::changeEvent(QEvent *event)
{
    // The program words times in one zone at a time: the active series'.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        CivilTime::setZone(m_document->series().zone.zone);
    QWidget::changeEvent(event);
}

bool SeriesWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_plot && event->type() == QEvent::Resize)
        QTimer::singleShot(0, this, [this] { redraw(); });
    return QWidget::eventFilter(watched, event);
}

void SeriesWindow::keyPressEvent(QKeyEvent *event)
{
    const QCPRange r = m_plot->xAxis->range();
    const double step = r.size() / 4.0;
    switch (event->key()) {
    case Qt::Key_Home:
        showAll();
        return;
    case Qt::Key_Plus:
        showRange(r.lower + r.size() / 4.0, r.upper - r.size() / 4.0);
        return;
    case Qt::Key_Minus:
        showRange(r.lower - r.size() / 2.0, r.upper + r.size() / 2.0);
        return;
    case Qt::Key_Left:
        if (m_plot->hasFocus()) {
            showRange(r.lower - step, r.upper - step);
            return;
        }
        break;
    case Qt::Key_Right:
        if (m_plot->hasFocus()) {
            showRange(r.lower + step, r.upper + step);
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void SeriesWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void SeriesWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    event->acceptProposedAction();
    QTimer::singleShot(0, parentWidget(), [paths, parent = QPointer<QWidget>(parentWidget())] {
        OpenSeries(paths, parent);
    });
}
