#pragma once

#include <QElapsedTimer>

#include <functional>

// Passes a running count on at most every `intervalMs`, so that a long loop
// does not spend its time redrawing a caption; finish() always passes the
// exact final count.
class ThrottledProgress
{
public:
    explicit ThrottledProgress(std::function<void(int)> report, int intervalMs = 30);

    void update(int count);
    void finish(int count);

private:
    std::function<void(int)> m_report;
    QElapsedTimer m_clock;
    int m_intervalMs;
    int m_lastReported = -1;
};
