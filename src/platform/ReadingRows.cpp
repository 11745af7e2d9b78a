#include "ReadingRows.h"

#include "Calendar.h"

#include <algorithm>

namespace {

template<typename Ch> bool isDigit(Ch c)
{
    return c >= Ch('0') && c <= Ch('9');
}

template<typename Ch> int digitsValue(const Ch *p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (!isDigit(p[i]))
            return -1;
        v = v * 10 + int(p[i] - Ch('0'));
    }
    return v;
}

// "123": digits without a leading zero (but "0"), up to nine of them.
template<typename Ch> int32_t canonicalNumber(const Ch *p, qsizetype n)
{
    if (n < 1 || n > 9 || (n > 1 && p[0] == Ch('0')))
        return INT32_MIN;
    const int v = digitsValue(p, int(n));
    return v < 0 ? INT32_MIN : v;
}

// "65.3" or "65.3*": whole part without a leading zero (but "0"), a point,
// one digit. Returns tenths * 2 + marker, or -1.
template<typename Ch> int16_t canonicalLevel(const Ch *p, qsizetype n)
{
    const bool marked = n > 0 && p[n - 1] == Ch('*');
    if (marked)
        --n;
    if (n < 3 || n > 6 || p[n - 2] != Ch('.') || !isDigit(p[n - 1]))
        return -1;
    const qsizetype wholeDigits = n - 2;
    if (wholeDigits > 1 && p[0] == Ch('0'))
        return -1;
    const int whole = digitsValue(p, int(wholeDigits));
    if (whole < 0)
        return -1;
    const int tenths = whole * 10 + int(p[n - 1] - Ch('0'));
    if (tenths > 16383)
        return -1;
    return int16_t(tenths * 2 + (marked ? 1 : 0));
}

template<typename Ch> std::optional<int64_t> stampSeconds(const Ch *p, qsizetype n)
{
    // yyyy/mm/dd hh:nn:ss
    if (n != 19 || p[4] != Ch('/') || p[7] != Ch('/') || p[10] != Ch(' ') || p[13] != Ch(':')
        || p[16] != Ch(':'))
        return std::nullopt;
    const int y = digitsValue(p, 4);
    const int mo = digitsValue(p + 5, 2);
    const int d = digitsValue(p + 8, 2);
    const int h = digitsValue(p + 11, 2);
    const int mi = digitsValue(p + 14, 2);
    const int s = digitsValue(p + 17, 2);
    // Year 0 keeps its text: no meter writes it.
    if (y < 1 || !Calendar::isValidDate(y, mo, d) || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0
        || s > 59)
        return std::nullopt;
    return Calendar::daysFromCivil(y, unsigned(mo), unsigned(d)) * Calendar::SecondsPerDay
        + h * 3600 + mi * 60 + s;
}

void putDigits(QChar *out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = QChar(u'0' + value % 10);
        value /= 10;
    }
}

} // namespace

std::optional<int64_t> ReadingRows::parseStamp(QStringView text)
{
    return stampSeconds(reinterpret_cast<const char16_t *>(text.utf16()), text.size());
}

std::optional<int64_t> ReadingRows::parseStamp(QByteArrayView text)
{
    return stampSeconds(text.data(), text.size());
}

QString ReadingRows::formatStamp(int64_t seconds)
{
    const int64_t days = (seconds >= 0 ? seconds : seconds - (Calendar::SecondsPerDay - 1))
        / Calendar::SecondsPerDay;
    const Calendar::Date date = Calendar::civilFromDays(days);
    const int y = date.year, m = int(date.month), d = int(date.day);
    const int daySeconds = int(seconds - days * Calendar::SecondsPerDay);
    QString text(19, Qt::Uninitialized);
    QChar *out = text.data();
    putDigits(out, y, 4);
    out[4] = u'/';
    putDigits(out + 5, m, 2);
    out[7] = u'/';
    putDigits(out + 8, d, 2);
    out[10] = u' ';
    putDigits(out + 11, daySeconds / 3600, 2);
    out[13] = u':';
    putDigits(out + 14, daySeconds / 60 % 60, 2);
    out[16] = u':';
    putDigits(out + 17, daySeconds % 60, 2);
    return text;
}

void ReadingRows::append(QStringView number, QStringView time, QStringView level)
{
    const qsizetype row = count();
    const auto *n = reinterpret_cast<const char16_t *>(number.utf16());
    const int32_t numberValue = canonicalNumber(n, number.size());
    m_numbers.push_back(numberValue);
    if (numberValue == TextNumber)
        m_numberTexts.emplace_back(row, number.toString());

    const std::optional<int64_t> seconds = parseStamp(time);
    m_times.push_back(seconds ? *seconds : TextTime);
    if (!seconds)
        m_timeTexts.emplace_back(row, time.toString());

    const auto *l = reinterpret_cast<const char16_t *>(level.utf16());
    const int16_t levelValue = canonicalLevel(l, level.size());
    m_levels.push_back(levelValue);
    if (levelValue == TextLevel)
        m_levelTexts.emplace_back(row, level.toString());
}

void ReadingRows::appendBytes(QByteArrayView number, QByteArrayView time, QByteArrayView level,
                              Decoder decode)
{
    const qsizetype row = count();
    const int32_t numberValue = canonicalNumber(number.data(), number.size());
    m_numbers.push_back(numberValue);
    if (numberValue == TextNumber)
        m_numberTexts.emplace_back(row, decode(number));

    const std::optional<int64_t> seconds = parseStamp(time);
    m_times.push_back(seconds ? *seconds : TextTime);
    if (!seconds)
        m_timeTexts.emplace_back(row, decode(time));

    const int16_t levelValue = canonicalLevel(level.data(), level.size());
    m_levels.push_back(levelValue);
    if (levelValue == TextLevel)
        m_levelTexts.emplace_back(row, decode(level));
}

void ReadingRows::append(const ReadingRows &other)
{
    const qsizetype offset = count();
    m_numbers.insert(m_numbers.end(), other.m_numbers.begin(), other.m_numbers.end());
    m_times.insert(m_times.end(), other.m_times.begin(), other.m_times.end());
    m_levels.insert(m_levels.end(), other.m_levels.begin(), other.m_levels.end());
    for (const auto &[row, text] : other.m_numberTexts)
        m_numberTexts.emplace_back(row + offset, text);
    for (const auto &[row, text] : other.m_timeTexts)
        m_timeTexts.emplace_back(row + offset, text);
    for (const auto &[row, text] : other.m_levelTexts)
        m_levelTexts.emplace_back(row + offset, text);
}

QString ReadingRows::textAt(const TextList &texts, qsizetype row)
{
    const auto it
        = std::lower_bound(texts.begin(), texts.end(), row,
                           [](const auto &entry, qsizetype r) { return entry.first < r; });
    return it != texts.end() && it->first == row ? it->second : QString();
}

QString ReadingRows::number(qsizetype row) const
{
    const int32_t v = m_numbers[std::size_t(row)];
    return v == TextNumber ? textAt(m_numberTexts, row) : QString::number(v);
}

QString ReadingRows::time(qsizetype row) const
{
    const int64_t v = m_times[std::size_t(row)];
    return v == TextTime ? textAt(m_timeTexts, row) : formatStamp(v);
}

QString ReadingRows::level(qsizetype row) const
{
    const int16_t v = m_levels[std::size_t(row)];
    if (v == TextLevel)
        return textAt(m_levelTexts, row);
    const int tenths = v >> 1;
    QString text = QString::number(tenths / 10);
    text += u'.';
    text += QChar(u'0' + tenths % 10);
    if (v & 1)
        text += u'*';
    return text;
}

void ReadingRows::reserve(qsizetype rows)
{
    m_numbers.reserve(std::size_t(rows));
    m_times.reserve(std::size_t(rows));
    m_levels.reserve(std::size_t(rows));
}

void ReadingRows::clear()
{
    *this = ReadingRows();
}

std::size_t ReadingRows::bytesUsed() const
{
    std::size_t bytes = m_numbers.capacity() * sizeof(int32_t)
        + m_times.capacity() * sizeof(int64_t) + m_levels.capacity() * sizeof(int16_t);
    for (const TextList *texts : { &m_numberTexts, &m_timeTexts, &m_levelTexts }) {
        bytes += texts->capacity() * sizeof(TextList::value_type);
        for (const auto &entry : *texts)
            bytes += std::size_t(entry.second.capacity()) * sizeof(QChar);
    }
    return bytes;
}
