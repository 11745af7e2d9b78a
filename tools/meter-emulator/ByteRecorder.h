#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Writes every chunk of bytes the meter received, one line each:
// seconds since the start (six decimals), then the bytes in upper-case hex,
// e.g. "12.345678 4B 00 00 0A". Lines are flushed at once so that a test can
// read them while the emulator runs.
class ByteRecorder
{
public:
    ByteRecorder() = default;
    ByteRecorder(const ByteRecorder &) = delete;
    ByteRecorder &operator=(const ByteRecorder &) = delete;
    ~ByteRecorder();

    bool open(const std::string &path, std::string &error);
    bool isOpen() const { return m_file != nullptr; }
    void record(double seconds, const std::uint8_t *data, std::size_t size);

private:
    std::FILE *m_file = nullptr;
};
