#pragma once

#include "analysis/report/Report.h"
#include "analysis/series/Series.h"

#include <QObject>

#include <memory>

// A series as the series window edits it, without a window: its limits, the
// events' and the periods' rules, the weather and its rules, the exclusions
// with their file, and the figures analysed again whenever one of them
// changes. Exclusions are saved off this thread, one save at a time, the
// newest list only, merged with what another window or program wrote since.
// A change that is refused gives its message and changes nothing.
class SeriesDocument : public QObject
{
    Q_OBJECT

public:
    SeriesDocument(LoadedSeries &&series, int64_t intervalLength, QObject *parent = nullptr);
    ~SeriesDocument() override;

    const LoadedSeries &series() const { return m_series; }
    // The figures shown: the series analysed with the exclusions, weather,
    // events and period limits, its intervals judged against the limits.
    const FileFigures &figures() const { return *m_series.outcome.report; }
    const SeriesLimits &limits() const { return m_limits; }
    int64_t intervalLength() const { return m_intervalLength; }
    static QString limitsSettingKey(const QString &folder);
    // The analysis request of the series' intervals and days.
    static AnalysisRequest requestFor(int64_t intervalLength);

    // Each returns the message when the text is refused, else "": the
    // limits typed in (the --limit syntax, empty clears them, remembered
    // for the folder); "65" for events above 65 dB (empty: none);
    // "day=55,evening=50,night=45" (empty: none); "wind>5,gust>10,rain>0"
    // (empty: the default rules, "none": no rules); a weather file.
    QString setLimitsText(const QString &text);
    QString setEventThreshold(const QString &text);
    QString setPeriodLimitsText(const QString &text);
    QString setWeatherRulesText(const QString &text);
    QString importWeather(const QString &path);
    // The series read again (another interval length).
    void replaceSeries(LoadedSeries &&series, int64_t intervalLength);

    // Exclusions: spans whose readings count as not measured.
    const std::vector<Exclusion> &exclusions() const { return m_exclusions; }
    // The rows made by hand, then the ones the weather's rules made.
    std::vector<Exclusion> allExclusions() const;
    const std::vector<Exclusion> &ruleRows() const { return m_ruleRows; }
    QString exclusionsPath() const { return m_exclusionsPath; }
    // What was wrong with the file when it was read, naming the line.
    QString exclusionsProblem() const { return m_exclusionsProblem; }
    bool exclusionsUnsaved() const { return m_exclusionsUnsaved; }
    // Whether exclusions enter the figures: a file exists, rows were made,
    // or the weather's rules made some.
    bool exclusionsApply() const { return m_exclusionsApply; }
    bool exclusionsSaving() const { return m_savesPending > 0; }
    // What the last save took in from another writer, in words.
    QString mergeNotice() const { return m_mergeNotice; }
    std::shared_ptr<const WeatherData> weather() const { return m_weather; }
    QString weatherProblem() const { return m_weatherProblem; }
    const EventRules &eventRules() const { return m_eventRules; }
    const AssessmentRules &assessmentRules() const { return m_assessmentRules; }

    // Each change analyses the figures again and saves the file in the
    // background (unless the file read was damaged: then only
    // saveExclusions writes it).
    void addExclusion(const Exclusion &exclusion);
    void replaceExclusion(int row, const Exclusion &exclusion);
    void removeExclusion(int row);
    // Writes the exclusions now; the reason when it failed, else "".
    QString saveExclusions();

    // The report of the series as it stands, made by the returned job on a
    // worker thread: everything it needs is copied now, so the document may
    // change meanwhile.
    using ReportJob = std::function<std::optional<Report>(const ReportProgress &progress)>;
    ReportJob reportJob(const ReportOptions &given) const;

    QString intervalsCsv() const { return ::intervalsCsv(figures()); }
    QString daysCsv() const { return ::daysCsv(figures()); }

Q_SIGNALS:
    // The figures were analysed again: everything shown of them changes.
    void figuresChanged();
    // Only the intervals' verdicts changed (the limits).
    void limitsChanged();
    // The exclusions' state changed (saved, unsaved, a merge taken in)
    // without new figures.
    void exclusionsStateChanged();
    // A save in the background failed; the exclusions still apply.
    void saveFailed(const QString &why);

private:
    struct Saver;
    void reanalyse();
    void loadWeather();
    void exclusionsChanged();
    void saveInBackground();
    void savedInBackground(bool ok, const QString &why, quint64 generation,
                           const ExclusionsCsv::Merge &merged);
    // The file's rows as merged into this document's; true when that
    // analysed the figures again.
    bool tookIn(const ExclusionsCsv::Merge &merged, bool latest);

    LoadedSeries m_series;
    SeriesLimits m_limits;
    int64_t m_intervalLength = 900;
    // The figures without exclusions, as read.
    FileFigures m_unexcluded;
    std::vector<Exclusion> m_exclusions;
    // The rows as the file held them when last read or written: what this
    // document changed since is what a save brings to the file as it is now.
    std::vector<Exclusion> m_exclusionsBase;
    QString m_mergeNotice;
    QString m_exclusionsPath;
    QString m_exclusionsProblem;
    bool m_exclusionsApply = false; // a file exists, rows were made or rules made some
    bool m_exclusionsUnsaved = false;
    std::shared_ptr<const WeatherData> m_weather;
    std::vector<Exclusion> m_ruleRows;
    QString m_weatherProblem; // a damaged line of the weather file
    QString m_weatherPath;
    std::optional<WeatherRules> m_weatherRules = WeatherRules {};
    EventRules m_eventRules;
    AssessmentRules m_assessmentRules;
    std::shared_ptr<Saver> m_saver;
    quint64 m_saveGeneration = 0;
    int m_savesPending = 0;
};
