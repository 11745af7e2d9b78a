#include "RecordingTempFile.h"

#include <QFileInfo>

#include "DataFileWriter.h"
#include "platform/DiskSync.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

class RecordingTempFile::Writer
{
public:
    Writer(std::unique_ptr<QFile> file, const QString &folder, DiskSyncFunction sync)
        : m_file(std::move(file))
        , m_folder(folder)
        , m_companionPath(QDir(folder).filePath(QString::fromLatin1(RecordingCompanion::FileName)))
        , m_sync(std::move(sync))
    {
        m_written = m_file->size();
    }

    ~Writer() { stop(); }

    void start()
    {
        m_thread = std::thread([this] { run(); });
    }

    void pushLine(QByteArray line)
    {
        {
            const std::lock_guard<std::mutex> guard(m_mutex);
            m_lines.push_back(std::move(line));
        }
        m_wake.notify_one();
    }

    void pushCompanion(const RecordingCompanion &companion)
    {
        {
            const std::lock_guard<std::mutex> guard(m_mutex);
            m_companion = companion;
        }
        m_wake.notify_one();
    }

    bool drain()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_idle.wait(lock, [this] { return m_lines.empty() && !m_companion && !m_busy; });
        return !m_failed;
    }

    void stop()
    {
        if (!m_thread.joinable())
            return;
        {
            const std::lock_guard<std::mutex> guard(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
        m_file->close();
    }

    bool failed() const { return m_failed; }
    qint64 linesTaken() const { return m_linesTaken; }

    QString error() const
    {
        const std::lock_guard<std::mutex> guard(m_mutex);
        return m_error;
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_lines.empty() || m_companion; });
            if (m_lines.empty() && !m_companion)
                break; // stopping with nothing left
            std::deque<QByteArray> lines;
            lines.swap(m_lines);
            std::optional<RecordingCompanion> companion;
            companion.swap(m_companion);
            m_busy = true;
            lock.unlock();
            if (!m_failed)
                writeBatch(lines, companion);
            lock.lock();
            m_busy = false;
            m_idle.notify_all();
        }
    }

    void writeBatch(const std::deque<QByteArray> &lines,
                    const std::optional<RecordingCompanion> &companion)
    {
        for (const QByteArray &line : lines) {
            if (m_file->write(line) != line.size())
                return failWrite(m_file->error() != QFileDevice::NoError
                                     ? m_file->errorString()
                                     : QStringLiteral("the disk took only part of a record"));
            m_written += line.size();
            ++m_linesTaken;
        }
        if (!lines.empty() && !m_sync(*m_file))
            return fail(m_file->error() != QFileDevice::NoError
                            ? m_file->errorString()
                            : QStringLiteral("cannot flush it to the disk"));
        // Another program cut the file (truncate, an editor): what it held
        // is gone from the disk, so the recording cannot go on in it.
        // (A fresh look at the disk: the open file's own size may be cached.)
        if (const qint64 size = QFileInfo(m_file->fileName()).size();
            !lines.empty() && size < m_written)
            return fail(QStringLiteral("the working file was cut to %1 bytes from %2 by another "
                                       "program")
                            .arg(size)
                            .arg(m_written));
        if (!m_folderSynced) {
            // The new file's folder entry, so a power cut cannot take the file itself.
            syncFolderToDisk(m_folder);
            m_folderSynced = true;
        }
        if (companion && companion != m_lastCompanion)
            writeCompanion(*companion);
    }

    void writeCompanion(const RecordingCompanion &companion)
    {
        QSaveFile out(m_companionPath);
        out.setDirectWriteFallback(false);
        const QByteArray bytes = companion.toBytes();
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !m_sync(out)
            || !out.commit()) {
            const QString reason = out.errorString();
            out.cancelWriting();
            return fail(QStringLiteral("its companion \"%1\" could not be written: %2")
                            .arg(QDir::toNativeSeparators(m_companionPath), reason));
        }
        syncFolderToDisk(m_folder);
        m_lastCompanion = companion;
    }

    // A line the disk took only in part is cut off again, so the file ends
    // with a whole line; should that fail too, readers leave the torn line out.
    void failWrite(const QString &reason)
    {
        if (m_file->resize(m_written))
            m_file->seek(m_written);
        fail(reason);
    }

    void fail(const QString &reason)
    {
        const std::lock_guard<std::mutex> guard(m_mutex);
        m_error = reason;
        m_failed = true;
    }

    std::unique_ptr<QFile> m_file;
    const QString m_folder;
    const QString m_companionPath;
    DiskSyncFunction m_sync;
    qint64 m_written = 0;
    bool m_folderSynced = false;
    std::optional<RecordingCompanion> m_lastCompanion;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<QByteArray> m_lines;
    std::optional<RecordingCompanion> m_companion;
    bool m_busy = false;
    bool m_stopping = false;
    std::atomic<bool> m_failed = false;
    std::atomic<qint64> m_linesTaken = 0; // whole lines the file took
    QString m_error;
    std::thread m_thread;
};

RecordingTempFile::RecordingTempFile()
    : m_sync([](QFileDevice &file) { return syncFileToDisk(file); })
{
}

RecordingTempFile::~RecordingTempFile()
{
    abandon();
}

void RecordingTempFile::setSync(DiskSyncFunction sync)
{
    m_sync = std::move(sync);
}

RecordingTempFile::LockResult RecordingTempFile::lock(const QString &folder)
{
    const QString folderPath = QDir(folder).absolutePath();
    if (m_lock && m_lockFolder == folderPath)
        return LockResult::Locked;
    m_lock.reset();
    auto lock
        = std::make_unique<QLockFile>(QDir(folderPath).filePath(QString::fromLatin1(LockName)));
    // A recording may run for days: only a dead owner makes the lock stale.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return lock->error() == QLockFile::LockFailedError ? LockResult::Busy : LockResult::Failed;
    m_lock = std::move(lock);
    m_lockFolder = folderPath;
    return LockResult::Locked;
}

bool RecordingTempFile::holdsLock() const
{
    return m_lock != nullptr;
}

bool RecordingTempFile::create(const QString &folder, const RecordingCompanion &companion)
{
    close();
    m_folder = QDir(folder).absolutePath();
    m_path = QDir(m_folder).filePath(QString::fromLatin1(FileName));
    m_error.clear();
    m_recordsWritten = 0;
    auto file = std::make_unique<QFile>(m_path);
    // Unbuffered: each record goes to the system at once, and a write that
    // fails says how much of it the file took. Appending: a file another
    // program cut gets no hole of zeros, and the cut shows in its size.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Append
                    | QIODevice::Unbuffered)) {
        m_error = file->errorString();
        return false;
    }
    m_writer = std::make_unique<Writer>(std::move(file), m_folder, m_sync);
    m_writer->pushLine(FileLine(ColumnHeaderLine()));
    m_writer->pushCompanion(companion);
    m_writer->start();
    return true;
}

bool RecordingTempFile::appendLine(const QString &text)
{
    if (!m_writer) {
        m_error = QStringLiteral("the file is not open");
        return false;
    }
    if (m_writer->failed())
        return false;
    m_writer->pushLine(FileLine(text));
    return true;
}

void RecordingTempFile::updateCompanion(const RecordingCompanion &companion)
{
    if (m_writer && !m_writer->failed())
        m_writer->pushCompanion(companion);
}

qint64 RecordingTempFile::recordsWritten() const
{
    // The column header is the writer's first line.
    return m_writer ? std::max<qint64>(0, m_writer->linesTaken() - 1) : m_recordsWritten;
}

bool RecordingTempFile::drain()
{
    return m_writer ? m_writer->drain() : true;
}

void RecordingTempFile::close()
{
    if (!m_writer)
        return;
    m_writer->stop();
    if (m_writer->failed())
        m_error = m_writer->error();
    m_recordsWritten = std::max<qint64>(0, m_writer->linesTaken() - 1);
    m_writer.reset();
}

void RecordingTempFile::finish()
{
    close();
    if (!m_folder.isEmpty()) {
        QFile::remove(QDir(m_folder).filePath(QString::fromLatin1(RecordingCompanion::FileName)));
        syncFolderToDisk(m_folder);
    }
    if (!m_keepLock)
        m_lock.reset();
}

void RecordingTempFile::abandon()
{
    close();
    if (!m_keepLock)
        m_lock.reset();
}

void RecordingTempFile::forgetLock()
{
    // QLockFile removes its file when it goes; this one must stay.
    if (m_lock)
        static_cast<void>(m_lock.release());
    m_lockFolder.clear();
}

void RecordingTempFile::keepLock(bool keep)
{
    m_keepLock = keep;
    if (!keep && !isOpen())
        m_lock.reset();
}

bool RecordingTempFile::isOpen() const
{
    return m_writer != nullptr;
}

bool RecordingTempFile::failed() const
{
    return m_writer && m_writer->failed();
}

QString RecordingTempFile::errorString() const
{
    if (m_writer && m_writer->failed())
        return m_writer->error();
    return m_error;
}
