#include "Platform/App/Format.h"
#include "Platform/App/Log.h"
#include "Platform/Files/Paths.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

using namespace Platform;

TEST(FormatTest, PlaceholdersTakeValuesInOrderAndMissingOnesReadNull)
{
    EXPECT_EQ(format(QStringLiteral("%@ %@"), {QStringLiteral("Acrobat"), QStringLiteral("11.0")}),
              QStringLiteral("Acrobat 11.0"));
    EXPECT_EQ(format(QStringLiteral("%@ %@"), {std::nullopt, QStringLiteral("2")}), QStringLiteral("(null) 2"));
    EXPECT_EQ(format(QStringLiteral("version %@"), {}), QStringLiteral("version (null)"));
    EXPECT_EQ(format(QStringLiteral("Error = %@"), {QStringLiteral("50% %@ done")}),
              QStringLiteral("Error = 50% %@ done"))
        << "a value is never formatted again";
}

TEST(PathsTest, PathComponentsJoinWithExactlyOneSlashAndTrailingSlashesGoButTheRootStays)
{
    EXPECT_EQ(appendingPathComponent(QStringLiteral("/a"), QStringLiteral("b/c")), QStringLiteral("/a/b/c"));
    EXPECT_EQ(appendingPathComponent(QStringLiteral("/a/"), QStringLiteral("b")), QStringLiteral("/a/b"));
    EXPECT_EQ(appendingPathComponent(QStringLiteral("/a/"), QStringLiteral("/b")), QStringLiteral("/a/b"));
    EXPECT_EQ(appendingPathComponent(QStringLiteral("/a"), QStringLiteral("/b")), QStringLiteral("/a/b"));

    const std::pair<const char*, const char*> stripped[] = {
        {"/a/b//", "/a/b"}, {"a/", "a"}, {"/a", "/a"}, {"///", "/"}, {"/", "/"}, {"", ""},
    };
    for (const auto& [path, expected] : stripped) {
        EXPECT_EQ(withoutTrailingSlashes(QString::fromUtf8(path)), QString::fromUtf8(expected)) << path;
        EXPECT_EQ(withoutTrailingSlashes(std::string(path)), std::string(expected)) << path;
    }
}

TEST(FormatTest, MajorVersionReadsLeadingDigitsOnly)
{
    EXPECT_EQ(majorVersion(QStringLiteral("15.006")), 15u);
    EXPECT_EQ(majorVersion(QStringLiteral("11.0.23")), 11u);
    EXPECT_EQ(majorVersion(QStringLiteral("2017")), 2017u);
    EXPECT_EQ(majorVersion(QStringLiteral("-5")), 0u);
    EXPECT_EQ(majorVersion(QStringLiteral("v9")), 0u);
    EXPECT_EQ(majorVersion(QString()), 0u);
    EXPECT_EQ(majorVersion(std::nullopt), 0u);
    EXPECT_EQ(majorVersion(QStringLiteral("99999999999999999999")), 4294967295u);
}

TEST(LogTest, EachLineGoesToStandardErrorWithTimeProgramAndProcessAndStaysOneLine)
{
    QTemporaryFile captured;
    ASSERT_TRUE(captured.open());
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ASSERT_GE(::dup2(captured.handle(), STDERR_FILENO), 0);
    StandardErrorLog(QStringLiteral("unused")).line(QStringLiteral("Error = two\nlines\rin one"));
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);

    captured.seek(0);
    const QString written = QString::fromLocal8Bit(captured.readAll());
    const QRegularExpression shape(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} %1\\[%2\\] Error = two lines in one\n$")
            .arg(QRegularExpression::escape(QCoreApplication::applicationName()))
            .arg(QCoreApplication::applicationPid()));
    EXPECT_TRUE(shape.match(written).hasMatch()) << written.toStdString();
}

TEST(FormatTest, VersionsCompareNumberByNumber)
{
    const struct {
        const char *a, *b;
        std::optional<int> order;
    } rows[] = {
        {"2.1", "2.5", -1},
        {"2.10", "2.5", 1},
        {"2.5", "2.5.0", 0},
        {"2.5.1", "2.5", 1},
        {"3b1", "3", 0},
        {"10", "9.99", 1},
        {"02.5", "2.5", 0},
        {"", "2.5", std::nullopt},
        {"v2", "2.5", std::nullopt},
        {"2.5", "beta", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " vs " + row.b);
        const std::optional<int> order = compareVersions(QString::fromUtf8(row.a), QString::fromUtf8(row.b));
        ASSERT_EQ(order.has_value(), row.order.has_value());
        if (order) {
            EXPECT_EQ(*order < 0 ? -1 : *order > 0 ? 1 : 0, *row.order);
        }
    }
}
