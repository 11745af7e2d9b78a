// The publisher's spool: kept messages in one file until the broker
// acknowledged them, the readings in day segments appended to and dropped
// whole, so none is lost while the broker is away or across a restart.
#include "MqttPublisher.h"

// Built where the Mosquitto client library is; MqttAbsent.cpp stands in elsewhere.
#ifdef VORN_HAVE_MQTT

#include "platform/DiskSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <mosquitto.h>

namespace {

// One line of the spool file: the topic and the payload, as JSON; a
// message the broker does not keep says so.
QByteArray spoolLine(const QString &topic, const QByteArray &payload, bool retain = true)
{
    QJsonObject line { { QStringLiteral("topic"), topic },
                       { QStringLiteral("payload"), QString::fromUtf8(payload) } };
    if (!retain)
        line.insert(QStringLiteral("retain"), false);
    return QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
}

// Appends to a file and syncs it, and a new file's folder entry too, so that
// a power cut takes neither; the message when it fails, else empty.
QString appendSynced(const QString &path, const QByteArray &bytes, qint64 *size = nullptr)
{
    QFile file(path);
    const bool fresh = !file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size()
        || !syncFileToDisk(file))
        return QStringLiteral("\"%1\" cannot be written: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    if (fresh)
        syncFolderToDisk(QFileInfo(path).absolutePath());
    if (size)
        *size = file.size();
    return {};
}

} // namespace

QString MqttPublisher::spoolForNextRun(const QString &subtopic, const QByteArray &json)
{
    return appendSynced(m_spoolPath, spoolLine(topic(subtopic), withOrigin(json)));
}

void MqttPublisher::loadSpool()
{
    QFile file(m_spoolPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    int unreadable = 0;
    bool endsWhole = true;
    while (!file.atEnd()) {
        const QByteArray raw = file.readLine();
        endsWhole = raw.endsWith('\n');
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        const QString name = entry.value(QStringLiteral("topic")).toString();
        if (name.isEmpty() || !entry.value(QStringLiteral("payload")).isString()) {
            ++unreadable; // a line torn by a crash
            continue;
        }
        m_spool.push_back({ name, entry.value(QStringLiteral("payload")).toString().toUtf8(), -1,
                            entry.value(QStringLiteral("retain")).toBool(true) });
    }
    m_spooled = int(m_spool.size());
    file.close();
    if (unreadable > 0)
        report(QStringLiteral("%1 unreadable lines of \"%2\" left out")
                   .arg(unreadable)
                   .arg(QDir::toNativeSeparators(m_spoolPath)));
    // A line torn by a power cut would swallow the next row appended to it:
    // the spool is written anew from what was read before anything is added.
    if (unreadable > 0 || !endsWhole)
        rewriteSpool();
}

void MqttPublisher::rewriteSpool()
{
    m_spoolDirty = false;
    QSaveFile file(m_spoolPath);
    if (m_spool.empty()) {
        QFile::remove(m_spoolPath);
        syncFolderToDisk(QFileInfo(m_spoolPath).absolutePath());
        return;
    }
    bool ok = file.open(QIODevice::WriteOnly);
    for (const Kept &kept : m_spool)
        ok = ok && file.write(spoolLine(kept.topic, kept.payload, kept.retain)) >= 0;
    if (ok && file.commit())
        syncFolderToDisk(QFileInfo(m_spoolPath).absolutePath());
    else
        report(QStringLiteral("\"%1\" cannot be written: %2")
                   .arg(QDir::toNativeSeparators(m_spoolPath), file.errorString()));
}

void MqttPublisher::takeOutbox()
{
    std::deque<Outgoing> taken;
    {
        const std::lock_guard lock(m_mutex);
        taken.swap(m_outbox);
    }
    if (taken.empty())
        return;
    appendSegments(taken);
    if (taken.empty())
        return;
    QByteArray lines;
    for (Outgoing &out : taken) {
        lines += spoolLine(out.topic, out.payload);
        m_spool.push_back({ std::move(out.topic), std::move(out.payload) });
    }
    // What the file did not take is still sent from memory.
    if (const QString error = appendSynced(m_spoolPath, lines); !error.isEmpty())
        report(error);
    m_spooled = int(m_spool.size());
    if (m_connected)
        sendUnsent();
}

void MqttPublisher::loadSegments()
{
    const QFileInfo spool(m_spoolPath);
    const QStringList names = spool.dir().entryList(
        { m_station + QStringLiteral(" mqtt readings *.jsonl") }, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QString path = spool.dir().filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite))
            continue;
        // A line torn by a power cut is cut off: the minute it held was
        // never acknowledged, and the next append starts a whole line.
        qint64 size = file.size();
        if (size > 0) {
            file.seek(std::max<qint64>(0, size - 64 * 1024));
            const QByteArray tail = file.readAll();
            const qint64 whole = size - tail.size() + tail.lastIndexOf('\n') + 1;
            if (whole < size && whole >= size - tail.size()) {
                file.resize(whole);
                size = whole;
                report(QStringLiteral("a torn line at the end of \"%1\" left out")
                           .arg(QDir::toNativeSeparators(path)));
            }
        }
        m_segments[path].size = size;
    }
    m_segmentCount = int(m_segments.size());
}

void MqttPublisher::appendSegments(std::deque<Outgoing> &taken)
{
    std::map<QString, QByteArray> lines;
    for (auto it = taken.begin(); it != taken.end();) {
        if (it->segment.isEmpty()) {
            ++it;
            continue;
        }
        lines[it->segment] += spoolLine(it->topic, it->payload, false);
        it = taken.erase(it);
    }
    for (const auto &[path, bytes] : lines) {
        qint64 size = 0;
        if (const QString error = appendSynced(path, bytes, &size); !error.isEmpty())
            report(error);
        else
            m_segments[path].size = size;
    }
    m_segmentCount = int(m_segments.size());
    if (m_connected)
        sendSegments();
}

void MqttPublisher::sendSegments()
{
    int inFlight = 0;
    for (const auto &[path, segment] : m_segments)
        inFlight += int(segment.inFlight.size());
    for (auto &[path, segment] : m_segments) {
        if (inFlight >= SegmentInFlight)
            return;
        if (segment.readPos >= segment.size)
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !file.seek(segment.readPos)) {
            report(QStringLiteral("\"%1\" cannot be read: %2")
                       .arg(QDir::toNativeSeparators(path), file.errorString()));
            segment.readPos = segment.size;
            continue;
        }
        while (inFlight < SegmentInFlight && segment.readPos < segment.size) {
            const qint64 start = segment.readPos;
            const QByteArray raw = file.readLine();
            if (!raw.endsWith('\n'))
                break;
            segment.readPos += raw.size();
            const QJsonObject entry = QJsonDocument::fromJson(raw).object();
            const QString name = entry.value(QStringLiteral("topic")).toString();
            if (name.isEmpty() || !entry.value(QStringLiteral("payload")).isString()) {
                report(QStringLiteral("an unreadable line of \"%1\" left out")
                           .arg(QDir::toNativeSeparators(path)));
                continue;
            }
            int mid = -1;
            publishNow(name, entry.value(QStringLiteral("payload")).toString().toUtf8(), false,
                       &mid);
            if (mid < 0) {
                segment.readPos = start; // tried again with the next round
                return;
            }
            segment.inFlight[mid] = start;
            ++inFlight;
        }
    }
    // Segments sent whole and acknowledged go at once, even the running day's.
    std::vector<QString> done;
    for (const auto &[path, segment] : m_segments)
        if (segment.inFlight.empty() && segment.readPos >= segment.size)
            done.push_back(path);
    for (const QString &path : done)
        dropSegment(path);
}

bool MqttPublisher::segmentAcknowledged(int mid)
{
    for (auto &[path, segment] : m_segments) {
        if (segment.inFlight.erase(mid) == 0)
            continue;
        if (segment.inFlight.empty() && segment.readPos >= segment.size)
            dropSegment(path);
        return true;
    }
    return false;
}

void MqttPublisher::dropSegment(const QString &path)
{
    QFile::remove(path);
    syncFolderToDisk(QFileInfo(path).absolutePath());
    m_segments.erase(path);
    m_segmentCount = int(m_segments.size());
}

#endif // VORN_HAVE_MQTT
