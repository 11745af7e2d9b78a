#include "DataFileReader.h"

#include "LevelNumber.h"
#include "platform/ReadingListModel.h"

#include <QDir>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

namespace {

constexpr qsizetype BlockSize = 1024 * 1024;
constexpr int HeaderLengthRealTime = 9;
constexpr int HeaderLengthDataLogger = 14;

// Hands out one line at a time from a device read in large blocks. A line
// that crosses a block boundary is gathered in a carry buffer that never
// grows past MaxLineLength.
class LineSource
{
public:
    enum class Result { Line, TooLong, End };

    explicit LineSource(QIODevice &device)
        : m_device(device)
    {
    }

    // The view stays valid until the next call.
    Result next(QByteArrayView &line)
    {
        m_carry.clear();
        bool carrying = false;
        for (;;) {
            if (m_pos >= m_block.size()) {
                if (!refill()) {
                    if (carrying) {
                        line = m_carry;
                        return Result::Line;
                    }
                    return Result::End;
                }
            }
            const char *begin = m_block.constData() + m_pos;
            const char *end = m_block.constData() + m_block.size();
            const char *stop = findLineEnd(begin, end);
            const qsizetype length = stop - begin;
            if (stop == end) {
                if (m_carry.size() + length > DataFileReader::MaxLineLength)
                    return Result::TooLong;
                m_carry.append(begin, length);
                carrying = true;
                m_pos = m_block.size();
                continue;
            }
            m_pos += length + 1;
            if (*stop == '\r') {
                if (m_pos < m_block.size()) {
                    if (m_block.at(m_pos) == '\n')
                        ++m_pos;
                } else {
                    m_skipLineFeed = true;
                }
            }
            if (!carrying) {
                if (length > DataFileReader::MaxLineLength)
                    return Result::TooLong;
                line = QByteArrayView(begin, length);
                return Result::Line;
            }
            if (m_carry.size() + length > DataFileReader::MaxLineLength)
                return Result::TooLong;
            m_carry.append(begin, length);
            line = m_carry;
            return Result::Line;
        }
    }

private:
    static const char *findLineEnd(const char *begin, const char *end)
    {
        for (const char *p = begin; p != end; ++p) {
            if (*p == '\n' || *p == '\r')
                return p;
        }
        return end;
    }

    bool refill()
    {
        if (m_ended)
            return false;
        // A small file needs no full-sized block.
        qint64 want = BlockSize;
        if (!m_device.isSequential())
            want = std::clamp<qint64>(m_device.size() - m_device.pos(), 1, BlockSize);
        m_block.resize(want);
        const qint64 got = m_device.read(m_block.data(), want);
        if (got <= 0) {
            m_ended = true;
            m_block.clear();
            m_pos = 0;
            return false;
        }
        m_block.resize(got);
        m_pos = 0;
        // A CR LF pair split by the block boundary is one line end.
        if (m_skipLineFeed && m_block.at(0) == '\n')
            m_pos = 1;
        m_skipLineFeed = false;
        return m_pos < m_block.size() || refill();
    }

    QIODevice &m_device;
    QByteArray m_block;
    qsizetype m_pos = 0;
    QByteArray m_carry;
    bool m_skipLineFeed = false;
    bool m_ended = false;
};

bool isAscii(QByteArrayView text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

QString decodeText(QByteArrayView text)
{
    return DataFileReader::decodeField(text);
}

} // namespace

// Files come from the meter's own code page, or from an editor that saved
// them as UTF-8: take UTF-8 when the bytes are valid UTF-8, else Latin-1.
QString DataFileReader::decodeField(QByteArrayView text)
{
    if (isAscii(text))
        return QString::fromLatin1(text);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(text);
    if (!utf8.hasError())
        return decoded;
    return QString::fromLatin1(text);
}

namespace {

// A damaged line shown in a message: control bytes but the tab as "?", so
// the message stays one readable line.
QString printable(QByteArrayView bytes)
{
    QString text = QString::fromLatin1(bytes).trimmed();
    for (QChar &c : text)
        if ((c.unicode() < 0x20 && c != u'\t') || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            c = u'?';
    return text;
}

// The meter's own level texts ("55.3", "72.4*") are plainly whole; only
// others are decoded and judged.
bool levelIsDamaged(QByteArrayView level)
{
    const bool plain = std::all_of(level.begin(), level.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '*';
    });
    return !plain && isDamagedLevelText(decodeText(level));
}

bool isBlank(QByteArrayView text)
{
    for (const char c : text) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

// Cuts the next TAB-ended field off the front of rest; false when no TAB is left.
bool takeField(QByteArrayView &rest, QByteArrayView &field)
{
    const char *tab = static_cast<const char *>(std::memchr(rest.data(), '\t', rest.size()));
    if (!tab)
        return false;
    const qsizetype length = tab - rest.data();
    field = rest.first(length);
    rest = rest.sliced(length + 1);
    return true;
}

class ReadProgress
{
public:
    explicit ReadProgress(const DataFileReader::Progress &progress)
        : m_progress(progress)
    {
        m_clock.start();
    }

    void update(qint64 records)
    {
        // Look at the clock only now and then: a record costs less than a clock read.
        if (!m_progress || (records & 0xFF) != 0)
            return;
        if (m_clock.elapsed() >= DataFileReader::ProgressIntervalMs) {
            m_progress(records);
            m_clock.restart();
        }
    }

    void finish(qint64 records)
    {
        if (m_progress)
            m_progress(records);
    }

private:
    const DataFileReader::Progress &m_progress;
    QElapsedTimer m_clock;
};

// Reads the header into `contents` and hands every body line's fields to
// `onRow`; false from onRow ends the read (the row is not counted).
template<typename OnRow>
void readLines(QIODevice &device, DataFileContents &contents, ReadProgress &throttle,
               qint64 &records, OnRow &&onRow)
{
    LineSource source(device);
    // A body line that is no reading is damaged when readings follow it: it
    // is skipped and counted. With none after it, the file's tail is torn
    // and the read ends there, as it ends at the end of the file. An empty
    // line at the very end is no fault: editors like to leave one.
    qint64 pendingLine = 0;
    qint64 pendingCount = 0;
    qint64 tornLine = 0; // the first pending line that is not empty
    QString tornWhat;
    int headerLength = 0;
    const auto countDamaged = [&contents](qint64 line, qint64 count) {
        if (contents.damagedLines == 0 || line < contents.firstDamagedLine)
            contents.firstDamagedLine = line;
        contents.damagedLines += count;
    };

    QByteArrayView line;
    for (qint64 i = 0;; ++i) {
        const LineSource::Result result = source.next(line);
        if (result == LineSource::Result::End)
            break;
        if (result == LineSource::Result::TooLong) {
            contents.problem = DataFileReader::lineTooLongMessage(i + 1);
            contents.problemLine = i + 1;
            contents.problemWhat = QStringLiteral("it is too long to be a reading");
            tornLine = 0;
            break;
        }
        contents.linesRead = i + 1;

        if (i == 0) {
            if (line.startsWith("\xEF\xBB\xBF"))
                line = line.sliced(3);
            if (line.contains(QByteArrayView("Real Time"))) {
                contents.kind = DataFileKind::RealTime;
                headerLength = HeaderLengthRealTime;
            } else if (line.contains(QByteArrayView("Data Logger"))) {
                contents.kind = DataFileKind::DataLogger;
                headerLength = HeaderLengthDataLogger;
            } else {
                contents.kind = DataFileKind::Headerless;
                headerLength = 0;
            }
            contents.headerLength = headerLength;
            continue;
        }
        if (i == 1 && headerLength > 1) {
            contents.samplingInterval = DataFileReader::leadingNumber(line);
            continue;
        }
        if (i < headerLength) {
            contents.boardTexts.append(decodeText(line));
            continue;
        }
        if (i == headerLength)
            continue;

        QByteArrayView rest = line;
        QByteArrayView number, time, level;
        if (!takeField(rest, number) || !takeField(rest, time) || !takeField(rest, level)) {
            if (pendingLine == 0)
                pendingLine = i + 1;
            if (tornLine == 0 && !isBlank(line)) {
                tornLine = i + 1;
                tornWhat = QStringLiteral("it holds no number, time and level separated by tabs: "
                                          "\"%1\"")
                               .arg(printable(line.first(std::min<qsizetype>(line.size(), 40))));
            }
            ++pendingCount;
            continue;
        }
        if (pendingLine) {
            countDamaged(pendingLine, pendingCount);
            pendingLine = pendingCount = tornLine = 0;
        }
        if (levelIsDamaged(level))
            countDamaged(i + 1, 1);
        if (!onRow(number, time, level))
            break;
        throttle.update(++records);
    }
    // Lines that are no readings up to the end: the tail is torn there, unless
    // they are only empty lines at the end.
    if (tornLine && contents.problem.isEmpty()) {
        contents.problem = DataFileReader::endsEarlyMessage(pendingLine);
        contents.problemLine = pendingLine;
        contents.problemWhat = pendingLine == tornLine
            ? tornWhat
            : QStringLiteral("an empty line with more lines after it");
    }

    if (contents.problem.isEmpty()) {
        if (contents.linesRead == 0)
            contents.problem = DataFileReader::emptyFileMessage();
        else if (contents.linesRead <= headerLength)
            contents.problem = DataFileReader::endsEarlyMessage(contents.linesRead + 1);
    }
    throttle.finish(records);
}

} // namespace

QVector<QString> DataFileContents::numbers() const
{
    QVector<QString> texts;
    for (qsizetype i = 0; i < rows.count(); ++i)
        texts.append(rows.number(i));
    return texts;
}

QVector<QString> DataFileContents::times() const
{
    QVector<QString> texts;
    for (qsizetype i = 0; i < rows.count(); ++i)
        texts.append(rows.time(i));
    return texts;
}

QVector<QString> DataFileContents::levels() const
{
    QVector<QString> texts;
    for (qsizetype i = 0; i < rows.count(); ++i)
        texts.append(rows.level(i));
    return texts;
}

DataFileContents DataFileReader::read(QIODevice &device, const Progress &progress,
                                      qint64 recordLimit)
{
    DataFileContents contents;
    ReadProgress throttle(progress);
    qint64 records = 0;
    readLines(device, contents, throttle, records,
              [&](QByteArrayView number, QByteArrayView time, QByteArrayView level) {
                  if (contents.rows.count() >= recordLimit) {
                      // Refused whole: part of a file would pass for all of it.
                      contents.problem = tooManyRecordsMessage(recordLimit);
                      contents.rows = {};
                      contents.refused = true;
                      return false;
                  }
                  contents.rows.appendBytes(number, time, level, &decodeText);
                  return true;
              });
    return contents;
}

DataFileContents DataFileReader::scan(QIODevice &device, const RowVisitor &visit)
{
    DataFileContents contents;
    const Progress noProgress;
    ReadProgress throttle(noProgress);
    qint64 records = 0;
    bool headerShown = false;
    readLines(device, contents, throttle, records,
              [&](QByteArrayView number, QByteArrayView time, QByteArrayView level) {
                  if (!headerShown) {
                      headerShown = true;
                      visit(contents, nullptr);
                  }
                  const RowBytes row { number, time, level };
                  visit(contents, &row);
                  return true;
              });
    return contents;
}

DataFileContents DataFileReader::readFile(const QString &path, const Progress &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        DataFileContents contents;
        contents.problem = cannotOpenMessage(path);
        return contents;
    }
    return read(file, progress);
}

DataFileContents DataFileReader::readBytes(QByteArrayView bytes, const Progress &progress)
{
    QByteArray copy = bytes.toByteArray();
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, progress);
}

void DataFileReader::moveRowsInto(DataFileContents &contents, ReadingListModel &list)
{
    list.appendRows(std::exchange(contents.rows, {}));
}

QString DataFileReader::endsEarlyMessage(qint64 lineNumber)
{
    return QStringLiteral("File ends early at line %1.").arg(lineNumber);
}

QString DataFileReader::lineTooLongMessage(qint64 lineNumber)
{
    return QStringLiteral("File ends early at line %1: the line is longer than %2 characters.")
        .arg(lineNumber)
        .arg(MaxLineLength);
}

QString DataFileReader::tooManyRecordsMessage(qint64 recordLimit)
{
    return QStringLiteral("The file has more than %1 records and was not opened: files of up "
                          "to %1 records can be opened.")
        .arg(recordLimit);
}

QString DataFileReader::damagedLinesMessage(qint64 count, qint64 firstLine)
{
    return count == 1
        ? QStringLiteral("Line %1 is damaged and counts in no figure.").arg(firstLine)
        : QStringLiteral("%1 lines are damaged (the first is line %2) and count in no figure.")
              .arg(count)
              .arg(firstLine);
}

QString DataFileReader::emptyFileMessage()
{
    return QStringLiteral("The file is empty.");
}

QString DataFileReader::cannotOpenMessage(const QString &path)
{
    return QStringLiteral("Cannot open the file %1.").arg(QDir::toNativeSeparators(path));
}

double DataFileReader::leadingNumber(QByteArrayView text)
{
    const char *p = text.data();
    const char *end = p + text.size();
    while (p != end && *p == ' ')
        ++p;
    // Only digits, one point and an exponent: the spellings "inf" and "nan"
    // that from_chars would also take are not numbers in a data file.
    const char *start = p;
    if (p != end && (*p == '-' || *p == '+'))
        ++p;
    const char *digitsStart = p;
    while (p != end && *p >= '0' && *p <= '9')
        ++p;
    if (p != end && *p == '.') {
        ++p;
        while (p != end && *p >= '0' && *p <= '9')
            ++p;
    }
    if (p - digitsStart == 0 || (p - digitsStart == 1 && *digitsStart == '.'))
        return 0.0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        const char *q = p + 1;
        if (q != end && (*q == '-' || *q == '+'))
            ++q;
        const char *exponentDigits = q;
        while (q != end && *q >= '0' && *q <= '9')
            ++q;
        if (q != exponentDigits)
            p = q;
    }
    if (*start == '+')
        ++start;
    double value = 0.0;
    const auto [ptr, error] = std::from_chars(start, p, value);
    if (error == std::errc::result_out_of_range)
        return 0.0;
    (void)ptr;
    return value;
}
