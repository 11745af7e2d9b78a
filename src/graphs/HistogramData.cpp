#include "HistogramData.h"

#include <algorithm>

HistogramPoints histogramPoints(std::span<const int64_t> counts, double firstX)
{
    HistogramPoints points;
    points.x.resize(counts.size());
    points.y.resize(counts.size());
    for (std::size_t i = 0; i < counts.size(); ++i) {
        points.x[i] = firstX + double(i);
        points.y[i] = double(counts[i]);
    }
    return points;
}

std::optional<OccupiedClasses> occupiedClasses(std::span<const int64_t> counts)
{
    const int size = int(counts.size());
    int first = -1;
    for (int i = 0; i < size; ++i) {
        if (counts[std::size_t(i)] != 0) {
            first = i;
            break;
        }
    }
    if (first < 0)
        return std::nullopt;
    int last = first;
    for (int i = size - 1; i >= first; --i) {
        if (counts[std::size_t(i)] != 0) {
            last = i;
            break;
        }
    }
    return OccupiedClasses { first, last };
}

double listHistogramFirstX(ClassWidth width)
{
    return width == ClassWidth::Whole ? 0.5 : 0.0;
}

int64_t largestCount(std::span<const int64_t> counts)
{
    return counts.empty() ? 0
                          : std::max<int64_t>(0, *std::max_element(counts.begin(), counts.end()));
}

double histogramYMaximum(std::span<const int64_t> counts)
{
    const int64_t largest = largestCount(counts);
    return largest <= 0 ? 1.0 : double(largest) * 1.1;
}

QStringList lnTableHeader()
{
    QStringList header { QStringLiteral("Ln") };
    for (int u = 0; u < 10; ++u)
        header << QLatin1Char(' ') + QString::number(u);
    return header;
}

std::vector<QStringList> lnTableRows(const std::array<QString, 100> &lnTexts)
{
    std::vector<QStringList> rows;
    rows.reserve(10);
    for (int t = 0; t < 10; ++t) {
        QStringList row { QStringLiteral("L(") + QString::number(t) + QStringLiteral("0)") };
        for (int u = 0; u < 10; ++u)
            row << lnTexts[std::size_t(10 * t + u)];
        rows.push_back(row);
    }
    return rows;
}

std::vector<int64_t> countsFromClassZero(const HistogramInput &input)
{
    // Classes below index 0 cannot be drawn; they are left out.
    const std::size_t skipped
        = std::min(input.counts.size(), std::size_t(std::max(0, -input.firstClassIndex)));
    const std::size_t offset = std::size_t(std::max(0, input.firstClassIndex));
    std::vector<int64_t> counts(offset + input.counts.size() - skipped, 0);
    std::copy(input.counts.begin() + std::ptrdiff_t(skipped), input.counts.end(),
              counts.begin() + std::ptrdiff_t(offset));
    return counts;
}
