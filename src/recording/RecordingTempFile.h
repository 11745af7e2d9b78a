#pragma once

#include "RecordingCompanion.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QFileDevice;
class QLockFile;

// Pushes a file to the disk; false when the system refused. Tests replace
// it to make the disk slow.
using DiskSyncFunction = std::function<bool(QFileDevice &file)>;

// The temporary file "Fake" that a running recording appends its records to,
// with its companion file (the header state, see RecordingCompanion) and the
// folder's recording lock, so that only one copy of the program records in a
// folder at a time.
//
// Records and companion states are queued and written in order by a thread
// of their own that syncs the file after each batch (and the folder entry
// once at creation): the sampling tick never waits for the disk, and a record
// is on the disk about as soon as the disk allows. The companion is written
// after the records it counts, so it never claims a record the file lacks.
// A write that fails stops all later writes and cuts the file back to its
// last whole line.
class RecordingTempFile
{
public:
    static constexpr char FileName[] = "Fake";
    static constexpr char LockName[] = "Fake.lock";

    RecordingTempFile();
    ~RecordingTempFile();
    RecordingTempFile(const RecordingTempFile &) = delete;
    RecordingTempFile &operator=(const RecordingTempFile &) = delete;

    // For the next create().
    void setSync(DiskSyncFunction sync);

    enum class LockResult { Locked, Busy, Failed };
    // Takes the folder's recording lock. Busy when another running copy of
    // the program holds it (a lock left by a copy that died is taken over),
    // Failed when no lock can be made there.
    LockResult lock(const QString &folder);
    bool holdsLock() const;
    // The folder was deleted or replaced: the lock file under the old name
    // may be another program's by now, so it is let go without removing it.
    void forgetLock();
    // A station that goes from one day file to the next keeps the folder
    // across the change; false gives the lock up unless a file is open.
    void keepLock(bool keep);

    // Creates the file anew (the lock must be held) and starts the writer
    // with the column header line and the first companion state.
    bool create(const QString &folder, const RecordingCompanion &companion);
    // Queues one record. False once an earlier write failed; errorString()
    // says why.
    bool appendLine(const QString &text);
    // Queues the companion's newest state; an unchanged state is not written.
    void updateCompanion(const RecordingCompanion &companion);
    // Waits until every queued record and companion state is on the disk.
    // False when a write failed.
    bool drain();
    // Writes what is queued, ends the writer and closes the file. The
    // companion and the lock stay: the recording is not finished.
    void close();
    // The recording's data file is on the disk: closes, removes the
    // companion and gives up the lock.
    void finish();
    // The recording could not be finished: closes and gives up the lock,
    // keeping the file and its companion for a later recovery.
    void abandon();

    bool isOpen() const;
    bool failed() const;
    // The records the file took whole since create(), the header aside
    // (kept once it is closed): what a restart recovers from it.
    qint64 recordsWritten() const;
    QString path() const { return m_path; }
    QString folder() const { return m_folder; }
    QString errorString() const;

private:
    class Writer;

    DiskSyncFunction m_sync;
    std::unique_ptr<Writer> m_writer;
    std::unique_ptr<QLockFile> m_lock;
    QString m_lockFolder;
    bool m_keepLock = false;
    QString m_path;
    QString m_folder;
    QString m_error;
    qint64 m_recordsWritten = 0; // by the writer last closed
};
