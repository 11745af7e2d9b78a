#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <utility>
#include <optional>
#include <vector>

// The rows of a reading list (record number, time stamp, level text) kept
// compactly: a number as an integer, a time stamp as a civil date and time,
// a level as tenths of a dB with its marker. A text that is not the
// canonical form of its value ("007", "2013/3/4 8:00", "65.30", "--", "")
// is kept as it was read, so every row gives back exactly the texts stored.
// About 14 bytes a row when every text is canonical.
class ReadingRows
{
public:
    // Turns field bytes that are not plain ASCII into text.
    using Decoder = QString (*)(QByteArrayView bytes);

    void append(QStringView number, QStringView time, QStringView level);
    // The fields of a file's line; only a field kept as text is decoded.
    void appendBytes(QByteArrayView number, QByteArrayView time, QByteArrayView level,
                     Decoder decode);
    void append(const ReadingRows &other);

    qsizetype count() const { return qsizetype(m_levels.size()); }
    bool isEmpty() const { return m_levels.empty(); }
    QString number(qsizetype row) const;
    QString time(qsizetype row) const;
    // The row's stamp as parseStamp reads it, without making its text;
    // nothing for a row that keeps its time as text.
    std::optional<int64_t> storedStamp(qsizetype row) const
    {
        const int64_t v = m_times[std::size_t(row)];
        return v == TextTime ? std::nullopt : std::optional<int64_t>(v);
    }
    QString level(qsizetype row) const;

    // The level of a row whose text is the canonical form of its tenths
    // ("65.3", or "65.3*" when marked); -1 when the row keeps its text.
    int levelTenths(qsizetype row) const
    {
        const int16_t v = m_levels[std::size_t(row)];
        return v < 0 ? -1 : v >> 1;
    }
    bool levelMarked(qsizetype row) const { return (m_levels[std::size_t(row)] & 1) != 0; }

    void reserve(qsizetype rows);
    void clear();
    // Heap bytes held, for the memory figures.
    std::size_t bytesUsed() const;

    // Civil time stamps "yyyy/mm/dd hh:nn:ss" (year 1 on, a date that
    // exists) as civil seconds from 1970-01-01 and back; nothing for a text
    // that is not exactly that form.
    static std::optional<int64_t> parseStamp(QStringView text);
    static std::optional<int64_t> parseStamp(QByteArrayView text);
    static QString formatStamp(int64_t seconds);

private:
    using TextList = std::vector<std::pair<qsizetype, QString>>;
    static QString textAt(const TextList &texts, qsizetype row);

    static constexpr int32_t TextNumber = INT32_MIN;
    static constexpr int64_t TextTime = INT64_MIN;
    static constexpr int16_t TextLevel = -1;

    std::vector<int32_t> m_numbers;
    std::vector<int64_t> m_times;
    std::vector<int16_t> m_levels; // tenths * 2 + marker, or TextLevel
    // Texts kept as read, by row, rows ascending.
    TextList m_numberTexts;
    TextList m_timeTexts;
    TextList m_levelTexts;
};
