#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

// The reading list every list window shows: three columns "No.s",
// "Date Time", "dB" (the header row of the grids), then one row per reading.
// Rows here are data rows only, counted from 0; the header is the model's
// header data. Appending is amortised O(1); 348,000 rows stay cheap.
class ReadingListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NumberColumn = 0, TimeColumn = 1, LevelColumn = 2 };

    explicit ReadingListModel(QObject *parent = nullptr);

    // Header texts of the three columns: "No.s", "Date Time", "dB".
    static QString headerText(int column);

    void append(const QString &number, const QString &time, const QString &level);
    // Many rows in one insert (the three vectors the same length): a view
    // follows one insert instead of one per row. Pass the vectors with
    // std::move: an empty list then takes them over without a copy.
    void appendRows(QVector<QString> numbers, QVector<QString> times, QVector<QString> levels);
    // Appends a row given as TAB-separated text: each field is the text up to
    // the next TAB (the whole rest when there is none); missing fields are empty.
    void appendLine(const QString &tabSeparated);
    // A row as the list files hold it: the three texts, each followed by TAB.
    QString line(int row) const;
    static QString headerLine();
    // Cut back to the header row only.
    void clear();
    void reserve(int rows);

    int count() const { return int(m_levels.size()); }
    const QString &number(int row) const { return m_numbers.at(row); }
    const QString &time(int row) const { return m_times.at(row); }
    const QString &level(int row) const { return m_levels.at(row); }
    const QVector<QString> &levels() const { return m_levels; }
    const QVector<QString> &numbers() const { return m_numbers; }
    const QVector<QString> &times() const { return m_times; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVector<QString> m_numbers;
    QVector<QString> m_times;
    QVector<QString> m_levels;
};
