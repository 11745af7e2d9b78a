#include "ByteRecorder.h"

#include <cerrno>
#include <cstring>

ByteRecorder::~ByteRecorder()
{
    if (m_file)
        std::fclose(m_file);
}

bool ByteRecorder::open(const std::string &path, std::string &error)
{
    m_file = std::fopen(path.c_str(), "w");
    if (!m_file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void ByteRecorder::record(double seconds, const std::uint8_t *data, std::size_t size)
{
    if (!m_file)
        return;
    static const char digits[] = "0123456789ABCDEF";
    // Integer arithmetic keeps the point a point whatever the locale.
    const long long micros = static_cast<long long>(seconds * 1e6 + 0.5);
    std::string line = std::to_string(micros / 1000000) + ".";
    const std::string fraction = std::to_string(micros % 1000000);
    line += std::string(6 - fraction.size(), '0') + fraction;
    for (std::size_t i = 0; i < size; ++i) {
        line += ' ';
        line += digits[data[i] >> 4];
        line += digits[data[i] & 0x0F];
    }
    line += '\n';
    std::fputs(line.c_str(), m_file);
    std::fflush(m_file);
}
