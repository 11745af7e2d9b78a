#include "ReadingRows.h"

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

// Days from 0000/03/01 of a civil date (proleptic Gregorian).
int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return int64_t(era) * 146097 + doe;
}

void civilFromDays(int64_t z, int &y, int &m, int &d)
{
    const int64_t era = z / 146097;
    const int doe = int(z - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = int(yoe + era * 400) + (m <= 2);
}

int daysInMonth(int y, int m)
{
    static const int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0))
        return 29;
    return days[m - 1];
}

template<typename Ch> int64_t stampSeconds(const Ch *p, qsizetype n)
{
    // yyyy/mm/dd hh:nn:ss
    if (n != 19 || p[4] != Ch('/') || p[7] != Ch('/') || p[10] != Ch(' ') || p[13] != Ch(':')
        || p[16] != Ch(':'))
        return -1;
    const int y = digitsValue(p, 4);
    const int mo = digitsValue(p + 5, 2);
    const int d = digitsValue(p + 8, 2);
    const int h = digitsValue(p + 11, 2);
    const int mi = digitsValue(p + 14, 2);
    const int s = digitsValue(p + 17, 2);
    // Year 0 is left to the text form: the day count stays positive.
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h < 0 || h > 23 || mi < 0
        || mi > 59 || s < 0 || s > 59)
        return -1;
    return daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

void putDigits(QChar *out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = QChar(u'0' + value % 10);
        value /= 10;
    }
}

} // namespace

int64_t ReadingRows::parseStamp(QStringView text)
{
    return stampSeconds(reinterpret_cast<const char16_t *>(text.utf16()), text.size());
}

int64_t ReadingRows::parseStamp(QByteArrayView text)
{
    return stampSeconds(text.data(), text.size());
}

QString ReadingRows::formatStamp(int64_t seconds)
{
    int y = 0, m = 0, d = 0;
    civilFromDays(seconds / 86400, y, m, d);
    const int daySeconds = int(seconds % 86400);
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

    const int64_t seconds = parseStamp(time);
    m_times.push_back(seconds < 0 ? TextTime : seconds);
    if (seconds < 0)
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

    const int64_t seconds = parseStamp(time);
    m_times.push_back(seconds < 0 ? TextTime : seconds);
    if (seconds < 0)
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
