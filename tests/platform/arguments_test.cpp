#include "platform/StandardStreams.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// File arguments with * and ? become the files they match, in name order, as
// Windows command-line tools expand them (cmd.exe expands nothing); options
// and patterns that match nothing stay as typed.
TEST(ProgramArguments, WildcardsBecomeTheFilesTheyMatch)
{
    QTemporaryDir dir;
    for (const char *name : { "fence 2026-03-02.vorn", "fence 2026-03-01.vorn",
                              "Gärten Süd 2026-03-10.vorn", "fence events.csv" }) {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString d = dir.path() + QLatin1Char('/');
    const struct
    {
        QStringList typed;
        QStringList given;
    } rows[] = {
        { { "--join", d + "fence 2026-03-*.vorn" },
          { "--join", d + "fence 2026-03-01.vorn", d + "fence 2026-03-02.vorn" } },
        { { d + "fence 2026-03-0?.vorn", "--csv" },
          { d + "fence 2026-03-01.vorn", d + "fence 2026-03-02.vorn", "--csv" } },
        { { d + QString::fromUtf8("Gärten*") }, { d + QString::fromUtf8("Gärten Süd 2026-03-10.vorn") } },
        { { d + "nothing*.vorn" }, { d + "nothing*.vorn" } },
        { { "--limit", "07-19=55", d + "plain.vorn" }, { "--limit", "07-19=55", d + "plain.vorn" } },
    };
    for (const auto &row : rows)
        EXPECT_EQ(expandWildcards(row.typed), row.given) << row.typed.join(' ').toStdString();
}
