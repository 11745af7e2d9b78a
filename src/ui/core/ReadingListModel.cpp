#include "ReadingListModel.h"

#include <algorithm>
#include <array>

namespace {
const std::array<QString, 3> &headers()
{
    static const std::array<QString, 3> texts { QStringLiteral("No.s"), QStringLiteral("Date Time"),
                                                QStringLiteral("dB") };
    return texts;
}
} // namespace

ReadingListModel::ReadingListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

QString ReadingListModel::headerText(int column)
{
    if (column < 0 || column >= int(headers().size()))
        return {};
    return headers()[column];
}

void ReadingListModel::append(const QString &number, const QString &time, const QString &level)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_numbers.append(number);
    m_times.append(time);
    m_levels.append(level);
    endInsertRows();
}

void ReadingListModel::appendRows(QVector<QString> numbers, QVector<QString> times,
                                  QVector<QString> levels)
{
    const qsizetype rows = std::min({numbers.size(), times.size(), levels.size()});
    if (rows == 0)
        return;
    numbers.resize(rows);
    times.resize(rows);
    levels.resize(rows);
    beginInsertRows({}, count(), count() + int(rows) - 1);
    if (m_levels.isEmpty()) {
        m_numbers = std::move(numbers);
        m_times = std::move(times);
        m_levels = std::move(levels);
    } else {
        m_numbers.append(numbers);
        m_times.append(times);
        m_levels.append(levels);
    }
    endInsertRows();
}

void ReadingListModel::appendLine(const QString &tabSeparated)
{
    QStringView rest(tabSeparated);
    QString fields[3];
    for (QString &field : fields) {
        const qsizetype tab = rest.indexOf(QLatin1Char('\t'));
        field = (tab < 0 ? rest : rest.left(tab)).toString();
        rest = tab < 0 ? QStringView() : rest.mid(tab + 1);
    }
    append(fields[0], fields[1], fields[2]);
}

QString ReadingListModel::line(int row) const
{
    const QChar tab = QLatin1Char('\t');
    return m_numbers.at(row) + tab + m_times.at(row) + tab + m_levels.at(row) + tab;
}

QString ReadingListModel::headerLine()
{
    const QChar tab = QLatin1Char('\t');
    return headers()[0] + tab + headers()[1] + tab + headers()[2] + tab;
}

void ReadingListModel::clear()
{
    if (m_levels.isEmpty())
        return;
    beginResetModel();
    m_numbers.clear();
    m_times.clear();
    m_levels.clear();
    endResetModel();
}

void ReadingListModel::reserve(int rows)
{
    m_numbers.reserve(rows);
    m_times.reserve(rows);
    m_levels.reserve(rows);
}

int ReadingListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int ReadingListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(headers().size());
}

QVariant ReadingListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count()
        || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    switch (index.column()) {
    case NumberColumn:
        return m_numbers.at(index.row());
    case TimeColumn:
        return m_times.at(index.row());
    case LevelColumn:
        return m_levels.at(index.row());
    default:
        return {};
    }
}

QVariant ReadingListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    if (orientation == Qt::Horizontal)
        return headerText(section);
    return section + 1;
}
