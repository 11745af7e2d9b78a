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
    m_rows.append(number, time, level);
    endInsertRows();
}

void ReadingListModel::appendRows(const QVector<QString> &numbers, const QVector<QString> &times,
                                  const QVector<QString> &levels)
{
    const qsizetype rows = std::min({ numbers.size(), times.size(), levels.size() });
    if (rows == 0)
        return;
    beginInsertRows({}, count(), count() + int(rows) - 1);
    m_rows.reserve(m_rows.count() + rows);
    for (qsizetype i = 0; i < rows; ++i)
        m_rows.append(numbers.at(i), times.at(i), levels.at(i));
    endInsertRows();
}

void ReadingListModel::appendRows(ReadingRows rows)
{
    if (rows.isEmpty())
        return;
    beginInsertRows({}, count(), count() + int(rows.count()) - 1);
    if (m_rows.isEmpty())
        m_rows = std::move(rows);
    else
        m_rows.append(rows);
    endInsertRows();
}

QVector<QString> ReadingListModel::levels() const
{
    QVector<QString> texts;
    texts.reserve(m_rows.count());
    for (qsizetype row = 0; row < m_rows.count(); ++row)
        texts.append(m_rows.level(row));
    return texts;
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
    return m_rows.number(row) + tab + m_rows.time(row) + tab + m_rows.level(row) + tab;
}

QString ReadingListModel::headerLine()
{
    const QChar tab = QLatin1Char('\t');
    return headers()[0] + tab + headers()[1] + tab + headers()[2] + tab;
}

void ReadingListModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ReadingListModel::reserve(int rows)
{
    m_rows.reserve(rows);
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
        return m_rows.number(index.row());
    case TimeColumn:
        return m_rows.time(index.row());
    case LevelColumn:
        return m_rows.level(index.row());
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
