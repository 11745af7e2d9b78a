#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

// One data set as the user describes it, e.g.
// "records=3,interval=1,level=65.0,spread=0,filter" or "levels=60/70.5/80*".
struct DataSetRecipe
{
    int records = 10;
    int interval = 1; // seconds
    double level = 65.0;
    double spread = 3.0; // records vary by up to this much around the level
    std::vector<std::uint16_t> levelWords; // explicit records; "*" sets the marker bit
    int freqIndex = 0; // A, C, Z, 20-200 Hz filter
    int timeIndex = 0; // FAST, SLOW, IMP
    int rangeIndex = 3;
    std::optional<std::time_t> start; // calendar seconds; default: ends now
    std::uint32_t seed = 1;

    // Returns an empty text on success, else what is wrong.
    static std::string parse(const std::string &text, DataSetRecipe &recipe);
};

// The logger memory: data sets stored one after the other, each
// marker 00 55 AA 00, interval (2 bytes, high first), mode byte, range byte,
// k level words, five BCD time stamps, ten level words.
class LoggerMemory
{
public:
    static constexpr std::uint32_t EmptyEnd = 48;

    // Bytes of one set; startNow is used when the recipe gives no start.
    static std::vector<std::uint8_t> encodeSet(const DataSetRecipe &recipe, std::time_t startNow);

    void setSizeUnits(int units) { m_sizeUnits = units; }
    int sizeUnits() const { return m_sizeUnits; }
    std::size_t capacity() const { return static_cast<std::size_t>(m_sizeUnits) * 65536; }

    // Returns false (and stores nothing) when the set would not fit.
    bool append(const std::vector<std::uint8_t> &set);
    void erase() { m_bytes.clear(); }

    std::size_t setsLength() const { return m_bytes.size(); }
    // The end position the meter reports: 48 when empty, else 47 + the sets' length.
    std::uint32_t endPosition() const;
    // What "K" alone sends: one leading byte, then the sets (end position - 46 bytes).
    std::vector<std::uint8_t> transferStream() const;

private:
    std::vector<std::uint8_t> m_bytes;
    int m_sizeUnits = 4;
};
