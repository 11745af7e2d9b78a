#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Processes events (never spinning) until the condition holds or the time
// is up; the condition is looked at once more at the end.
bool WaitUntil(const std::function<bool()> &condition, int timeoutMs);
// Looks at a condition every 20 ms from a timer, which also fires inside the
// program's own waits (a recovery waits inside the poll tick, where a
// WaitUntil further down the stack cannot look), and keeps the first moment
// it held; whenSeen runs then, to note what else was true at that moment.
class Watch : public QObject
{
public:
    explicit Watch(std::function<bool()> condition, std::function<void()> whenSeen = {});
    bool seen() const { return m_seenAtMs >= 0; }
    qint64 seenAtMs() const { return m_seenAtMs; } // since the watch was made

private:
    std::function<bool()> m_condition;
    std::function<void()> m_whenSeen;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_seenAtMs = -1;
};
