#pragma once

#include "ReadingRows.h"

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

// The reading list every list window shows: three columns "No.s",
// "Date Time", "dB" (the header row of the grids), then one row per reading.
// Rows here are data rows only, counted from 0; the header is the model's
// header data. Appending is amortised O(1); the rows are kept compactly
// (ReadingRows), so millions of readings stay cheap.
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
    void appendRows(const QVector<QString> &numbers, const QVector<QString> &times,
                    const QVector<QString> &levels);
    // Takes the rows over (moved into an empty list without a copy).
    void appendRows(ReadingRows rows);
    // Appends a row given as TAB-separated text: each field is the text up to
    // the next TAB (the whole rest when there is none); missing fields are empty.
    void appendLine(const QString &tabSeparated);
    // A row as the list files hold it: the three texts, each followed by TAB.
    QString line(int row) const;
    static QString headerLine();
    // Cut back to the header row only.
    void clear();
    void reserve(int rows);

    int count() const { return int(m_rows.count()); }
    QString number(int row) const { return m_rows.number(row); }
    QString time(int row) const { return m_rows.time(row); }
    QString level(int row) const { return m_rows.level(row); }
    const ReadingRows &rows() const { return m_rows; }
    // Every level text as its own string: costs memory per row, so long
    // lists are better read through rows().
    QVector<QString> levels() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    ReadingRows m_rows;
};
