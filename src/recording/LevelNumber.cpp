#include "LevelNumber.h"

#include <charconv>
#include <limits>
#include <string>

namespace {

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// Length of the number that starts at position start, 0 when there is none.
qsizetype numberLength(QStringView text, qsizetype start)
{
    qsizetype p = start;
    const qsizetype end = text.size();
    if (p != end && (text[p] == u'+' || text[p] == u'-'))
        ++p;
    qsizetype digits = 0;
    while (p != end && isDigit(text[p]))
        ++p, ++digits;
    if (p != end && text[p] == u'.') {
        ++p;
        while (p != end && isDigit(text[p]))
            ++p, ++digits;
    }
    if (digits == 0)
        return 0;
    if (p != end && (text[p] == u'e' || text[p] == u'E')) {
        qsizetype q = p + 1;
        if (q != end && (text[q] == u'+' || text[q] == u'-'))
            ++q;
        const qsizetype exponentStart = q;
        while (q != end && isDigit(text[q]))
            ++q;
        if (q != exponentStart)
            p = q;
    }
    return p - start;
}

qsizetype skipBlanks(QStringView text, qsizetype p)
{
    while (p < text.size() && text[p] == u' ')
        ++p;
    return p;
}

double numberValue(QStringView number)
{
    // The span holds only ASCII digits, signs, a point and an exponent.
    if (!number.isEmpty() && number.front() == u'+')
        number = number.sliced(1);
    char small[64];
    std::string large;
    char *chars = small;
    if (number.size() > qsizetype(sizeof small)) {
        large.resize(number.size());
        chars = large.data();
    }
    for (qsizetype i = 0; i < number.size(); ++i)
        chars[i] = char(number[i].unicode());
    double value = 0.0;
    const auto result = std::from_chars(chars, chars + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large to hold: the largest value there is. Too small: as good as 0.
        const bool negativeExponent = number.contains(u"e-") || number.contains(u"E-");
        return negativeExponent ? 0.0 : std::numeric_limits<double>::max();
    }
    return value;
}

} // namespace

double leadingLevelValue(QStringView text)
{
    const qsizetype start = skipBlanks(text, 0);
    const qsizetype length = numberLength(text, start);
    return length ? numberValue(text.sliced(start, length)) : 0.0;
}

bool isWholeNumberText(QStringView text)
{
    const qsizetype start = skipBlanks(text, 0);
    const qsizetype length = numberLength(text, start);
    return length && skipBlanks(text, start + length) == text.size();
}

bool startsWithLevelNumber(QStringView text)
{
    return numberLength(text, skipBlanks(text, 0)) > 0;
}

bool isDamagedLevelText(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0xFFFD)
            return true;
    }
    const qsizetype start = skipBlanks(text, 0);
    const qsizetype length = numberLength(text, start);
    if (length == 0)
        return false;
    for (qsizetype p = start + length; p < text.size(); ++p) {
        const char16_t u = text[p].unicode();
        if (u != u' ' && u != u'*' && u != u'-' && u != u'L')
            return true;
    }
    return false;
}
