#pragma once

#include "platform/DiskSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// The interval table, the events file and the state file are written and
// synced on a thread of their own: a disk that hangs never holds a sample
// up. A line the disk refuses waits, with those after it for the same file,
// and is tried again every few seconds; failures come back to the station's
// thread, which says them. Used by the station for its
// tables, events and state.
class LineAppender
{
public:
    static constexpr int RetryMs = 5000;
    // Lines waiting for a disk that refuses them: days of interval rows.
    static constexpr size_t MaxWaiting = 20000;

    LineAppender()
        : m_thread([this] { run(); })
    {
    }
    ~LineAppender()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    // The line is appended; where the file holds an older header without the
    // line's last column, shortLine goes instead.
    void append(QString path, QString header, QString line, QString shortLine)
    {
        push({ std::move(path), std::move(header), std::move(line), std::move(shortLine), false });
    }
    // The file is replaced whole, atomically; only the newest waiting copy counts.
    void replace(QString path, QString contents)
    {
        push({ std::move(path), {}, std::move(contents), {}, true });
    }
    // Waits until everything queued is on the disk, or the time is up;
    // the number of lines still waiting.
    size_t drain(int ms)
    {
        std::unique_lock lock(m_mutex);
        // Lines that wait for the disk are tried once more now.
        m_retryNow = true;
        m_changed.notify_all();
        m_changed.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return m_queue.empty() && !m_writing; });
        return m_queue.size() + (m_writing ? 1 : 0);
    }
    QStringList takeErrors()
    {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_errors, {});
    }
    // The reason lines wait, empty when none does.
    QString waiting() const
    {
        const std::lock_guard lock(m_mutex);
        return m_waitingReason;
    }
    // Lines that wait are tried again at once.
    void retrySoon()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_retryNow = true;
        }
        m_changed.notify_all();
    }
    qint64 dropped() const
    {
        const std::lock_guard lock(m_mutex);
        return m_dropped;
    }

private:
    struct Item
    {
        QString path;
        QString header;
        QString line;
        QString shortLine;
        bool replace = false;
    };
    void push(Item item)
    {
        {
            const std::lock_guard lock(m_mutex);
            if (item.replace)
                std::erase_if(m_queue, [&](const Item &queued) {
                    return queued.replace && queued.path == item.path;
                });
            if (m_queue.size() >= MaxWaiting) {
                m_queue.pop_front();
                ++m_dropped;
            }
            m_queue.push_back(std::move(item));
        }
        m_changed.notify_all();
    }
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return; // stopping, nothing left
            std::deque<Item> batch;
            batch.swap(m_queue);
            m_retryNow = false;
            m_writing = true;
            lock.unlock();
            std::deque<Item> refused;
            QSet<QString> refusedPaths;
            QString reason;
            for (Item &item : batch) {
                // Lines keep their order within a file.
                if (refusedPaths.contains(item.path)) {
                    refused.push_back(std::move(item));
                    continue;
                }
                const QString error = item.replace ? replaceFile(item) : appendTo(item);
                if (error.isEmpty())
                    continue;
                reason = error;
                refusedPaths.insert(item.path);
                refused.push_back(std::move(item));
            }
            lock.lock();
            m_writing = false;
            if (!reason.isEmpty() && !m_errors.contains(reason))
                m_errors << reason;
            m_waitingReason = reason;
            if (!refused.empty()) {
                for (auto it = refused.rbegin(); it != refused.rend(); ++it)
                    m_queue.push_front(std::move(*it));
                m_changed.notify_all();
                if (m_stopping)
                    return; // what is left is counted by drain()
                m_changed.wait_for(lock, std::chrono::milliseconds(RetryMs),
                                   [this] { return m_stopping || m_retryNow; });
                continue;
            }
            m_changed.notify_all();
        }
    }
    static QString appendTo(const Item &item)
    {
        QFile file(item.path);
        const bool fresh = !file.exists() || file.size() == 0;
        QByteArray bytes;
        QString line = item.line;
        if (fresh && !item.header.isEmpty())
            bytes += item.header.toUtf8() + "\n";
        else if (!item.shortLine.isEmpty() && !item.header.isEmpty()
                 && file.open(QIODevice::ReadOnly)) {
            // A table begun by an older version keeps its header and columns.
            const QByteArray first = file.readLine().trimmed();
            file.close();
            if (first != item.header.toUtf8())
                line = item.shortLine;
        }
        bytes += line.toUtf8() + "\n";
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return QStringLiteral("\"%1\" cannot be written: %2")
                .arg(QDir::toNativeSeparators(item.path), file.errorString());
        const qint64 before = file.size();
        if (file.write(bytes) != bytes.size() || !syncFileToDisk(file)) {
            const QString reason = file.errorString();
            // A line the disk took in part is cut off again; it is written
            // whole when the disk takes it.
            file.resize(before);
            return QStringLiteral("\"%1\" cannot be written: %2")
                .arg(QDir::toNativeSeparators(item.path), reason);
        }
        if (fresh)
            syncFolderToDisk(QFileInfo(item.path).absolutePath());
        return {};
    }
    static QString replaceFile(const Item &item)
    {
        QSaveFile file(item.path);
        file.setDirectWriteFallback(false);
        const QByteArray bytes = item.line.toUtf8();
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()
            || !syncFileToDisk(file) || !file.commit()) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return QStringLiteral("\"%1\" cannot be written: %2")
                .arg(QDir::toNativeSeparators(item.path), reason);
        }
        syncFolderToDisk(QFileInfo(item.path).absolutePath());
        return {};
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_queue;
    QStringList m_errors;
    QString m_waitingReason;
    qint64 m_dropped = 0;
    bool m_writing = false;
    bool m_retryNow = false;
    bool m_stopping = false;
    std::thread m_thread;
};
