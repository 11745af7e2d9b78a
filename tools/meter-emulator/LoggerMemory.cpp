#include "LoggerMemory.h"

#include "Bcd.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

namespace {

bool parseNumber(const std::string &text, double &value)
{
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

bool parseInt(const std::string &text, long &value)
{
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

std::uint16_t tenthsWord(double db)
{
    const long tenths = std::clamp(std::lround(db * 10.0), 0L, 0x7FFFL);
    return static_cast<std::uint16_t>(tenths);
}

// "2026-12-07T20:15:00" as calendar seconds.
std::optional<std::time_t> parseStart(const std::string &text)
{
    std::tm fields {};
    int year, month, day, hour, minute, second;
    char t;
    std::istringstream in(text);
    char dash1, dash2, colon1, colon2;
    in >> year >> dash1 >> month >> dash2 >> day >> t >> hour >> colon1 >> minute >> colon2
        >> second;
    if (!in || dash1 != '-' || dash2 != '-' || (t != 'T' && t != 't') || colon1 != ':'
        || colon2 != ':' || year < 2000 || year > 2099)
        return std::nullopt;
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return timegm(&fields);
}

void putWord(std::vector<std::uint8_t> &out, std::uint16_t word)
{
    out.push_back(static_cast<std::uint8_t>(word >> 8));
    out.push_back(static_cast<std::uint8_t>(word & 0xFF));
}

void putTime(std::vector<std::uint8_t> &out, std::time_t calendarSeconds)
{
    std::uint8_t bytes[6];
    Bcd::encodeTime(calendarSeconds, bytes);
    out.insert(out.end(), bytes, bytes + 6);
}

} // namespace

std::string DataSetRecipe::parse(const std::string &text, DataSetRecipe &recipe)
{
    bool recordsGiven = false;
    std::istringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item.empty())
            continue;
        const auto equals = item.find('=');
        const std::string key = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
        long number = 0;
        double real = 0;
        if (key == "filter" && equals == std::string::npos) {
            recipe.freqIndex = 3;
        } else if (key == "records") {
            if (!parseInt(value, number) || number < 1 || number > 200000)
                return "records must be a whole number from 1 to 200000: " + item;
            recipe.records = static_cast<int>(number);
            recordsGiven = true;
        } else if (key == "interval") {
            if (!parseInt(value, number) || number < 1 || number > 65535)
                return "interval must be 1 to 65535 seconds: " + item;
            recipe.interval = static_cast<int>(number);
        } else if (key == "level" || key == "spread") {
            if (!parseNumber(value, real) || real < 0 || real > 3276.7)
                return key + " must be a number of dB from 0 to 3276.7: " + item;
            (key == "level" ? recipe.level : recipe.spread) = real;
        } else if (key == "levels") {
            recipe.levelWords.clear();
            std::istringstream levels(value);
            std::string one;
            while (std::getline(levels, one, '/')) {
                const bool marked = !one.empty() && one.back() == '*';
                if (marked)
                    one.pop_back();
                if (!parseNumber(one, real) || real < 0 || real > 3276.7)
                    return "levels must be dB values separated by '/': " + item;
                recipe.levelWords.push_back(tenthsWord(real) | (marked ? 0x8000 : 0));
            }
            if (recipe.levelWords.empty())
                return "levels needs at least one value: " + item;
        } else if (key == "freq") {
            static const char *names[] = { "A", "C", "Z", "AA" };
            const auto found = std::find(std::begin(names), std::end(names), value);
            if (found == std::end(names))
                return "freq must be A, C, Z or AA: " + item;
            recipe.freqIndex = static_cast<int>(found - std::begin(names));
        } else if (key == "time") {
            static const char *names[] = { "fast", "slow", "imp" };
            const auto found = std::find(std::begin(names), std::end(names), value);
            if (found == std::end(names))
                return "time must be fast, slow or imp: " + item;
            recipe.timeIndex = static_cast<int>(found - std::begin(names));
        } else if (key == "range") {
            if (!parseInt(value, number) || number < 0 || number > 5)
                return "range must be 0 to 5: " + item;
            recipe.rangeIndex = static_cast<int>(number);
        } else if (key == "start") {
            recipe.start = parseStart(value);
            if (!recipe.start)
                return "start must be YYYY-MM-DDThh:mm:ss (2000 to 2099): " + item;
        } else if (key == "seed") {
            if (!parseInt(value, number) || number < 0 || number > 0xFFFFFFFFL)
                return "seed must be a whole number: " + item;
            recipe.seed = static_cast<std::uint32_t>(number);
        } else {
            return "unknown data set key: " + item;
        }
    }
    if (!recipe.levelWords.empty()) {
        if (recordsGiven && recipe.records != static_cast<int>(recipe.levelWords.size()))
            return "records does not match the number of levels";
        recipe.records = static_cast<int>(recipe.levelWords.size());
    }
    return {};
}

std::vector<std::uint8_t> LoggerMemory::encodeSet(const DataSetRecipe &recipe, std::time_t startNow)
{
    std::vector<std::uint16_t> words = recipe.levelWords;
    if (words.empty()) {
        std::uint32_t random = recipe.seed ? recipe.seed : 1;
        for (int j = 0; j < recipe.records; ++j) {
            random ^= random << 13;
            random ^= random >> 17;
            random ^= random << 5;
            const double unit = static_cast<double>(random) / 2147483647.5 - 1.0;
            words.push_back(tenthsWord(recipe.level + recipe.spread * unit));
        }
    }
    const int k = static_cast<int>(words.size());
    const std::time_t start
        = recipe.start.value_or(startNow - static_cast<std::time_t>(k) * recipe.interval);

    std::vector<double> levels;
    double energy = 0;
    int maxIndex = 0;
    int minIndex = 0;
    for (int j = 0; j < k; ++j) {
        const double db = (words[j] & 0x7FFF) / 10.0;
        levels.push_back(db);
        energy += std::pow(10.0, db / 10.0);
        if (db > levels[maxIndex])
            maxIndex = j;
        if (db < levels[minIndex])
            minIndex = j;
    }
    const double leq = 10.0 * std::log10(energy / k);
    const double sel = leq + 10.0 * std::log10(static_cast<double>(k) * recipe.interval);
    // The peak of the pressure lies above the time-weighted maximum by at
    // least a sine's crest factor.
    const double peak = levels[maxIndex] + 3.0;
    std::vector<double> sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    // Ln: the level exceeded n % of the time (nearest rank from the top).
    const auto exceeded = [&](double percent) {
        const double rank = std::ceil((100.0 - percent) / 100.0 * k);
        const int index = std::clamp(static_cast<int>(rank) - 1, 0, k - 1);
        return sorted[index];
    };

    std::vector<std::uint8_t> out = { 0x00, 0x55, 0xAA, 0x00 };
    putWord(out, static_cast<std::uint16_t>(recipe.interval));
    out.push_back(static_cast<std::uint8_t>(recipe.timeIndex | recipe.freqIndex << 5));
    out.push_back(static_cast<std::uint8_t>(recipe.rangeIndex));
    for (std::uint16_t word : words)
        putWord(out, word);
    const auto at
        = [&](int index) { return start + static_cast<std::time_t>(index) * recipe.interval; };
    putTime(out, start);
    putTime(out, at(k)); // end of the run
    putTime(out, at(maxIndex));
    putTime(out, at(minIndex));
    putTime(out, at(maxIndex)); // the peak falls in the loudest record
    for (double db : { leq, sel, levels[maxIndex], levels[minIndex], peak, exceeded(5),
                       exceeded(10), exceeded(50), exceeded(90), exceeded(95) })
        putWord(out, tenthsWord(db));
    return out;
}

bool LoggerMemory::append(const std::vector<std::uint8_t> &set)
{
    if (EmptyEnd - 1 + m_bytes.size() + set.size() > capacity())
        return false;
    m_bytes.insert(m_bytes.end(), set.begin(), set.end());
    return true;
}

std::uint32_t LoggerMemory::endPosition() const
{
    if (m_bytes.empty())
        return EmptyEnd;
    return static_cast<std::uint32_t>(EmptyEnd - 1 + m_bytes.size());
}

std::vector<std::uint8_t> LoggerMemory::transferStream() const
{
    std::vector<std::uint8_t> out;
    out.reserve(m_bytes.size() + 1);
    out.push_back(0x00); // the leading byte the receiver drops
    out.insert(out.end(), m_bytes.begin(), m_bytes.end());
    // An empty memory still answers with end position - 46 bytes.
    out.resize(endPosition() - 46, 0x00);
    return out;
}
