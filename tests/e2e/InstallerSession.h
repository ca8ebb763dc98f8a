#pragma once

#include "tests/e2e/Desktop.h"

#include <QColor>
#include <QSize>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>

// Text in failure messages, not its characters' bytes.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// One run of the installer as a person meets it: a virtual display of its own, a fresh home with
// its applications folder and Application Support folder, and an xdg-open that writes down what
// it was asked to open instead of opening it.
class InstallerSession : public ::testing::Test {
protected:
    static constexpr int kRowHeight = 90;
    static constexpr int kTableTop = 40;
    static constexpr int kButtonColumnWidth = 170;

    QTemporaryDir temp;
    QString home;
    QString applications;
    QString support;
    E2E::Desktop desktop;
    std::unique_ptr<E2E::ChildProcess> installer;
    // Set for the program on top of the session's own environment.
    QProcessEnvironment launchEnvironment;

    void SetUp() override;
    void TearDown() override;

    // Starts the program, by default the one just built.
    void launch(const QString& executable = QStringLiteral(FOLDWISE_APP_EXECUTABLE));
    // The same, then waits for its main window; fails the test and gives nothing when the window
    // does not appear.
    QString launchToMainWindow(const QString& executable = QStringLiteral(FOLDWISE_APP_EXECUTABLE));
    // The window's size on screen; empty when it cannot be read.
    QSize windowSize(const QString& window);
    // Waits for the installer to end by itself; its exit code, or nothing if it did not end.
    std::optional<int> waitForExit(E2E::Milliseconds timeout = std::chrono::seconds(10));
    // The addresses handed to xdg-open so far.
    QStringList opened() const;

    // Where the row's button bar is, in the window's coordinates.
    QRect barOfRow(const QString& window, int row) const;
    // The colours of the first rows' bars in a fresh screenshot: "blue", "grey", or what was
    // found instead.
    QStringList bars(const QString& window, int rows);
    // Takes screenshots until the bars show the expected colours, or the time is up.
    QStringList waitForBars(const QString& window, const QStringList& expected);
    bool clickBar(const QString& window, int row);

    // Fixture Acrobat bundles under the applications folder.
    QString addAcrobat(const QString& folder, const QString& version);
    // What the installer wrote on its standard output and error.
    QString logPath() const { return temp.filePath(QStringLiteral("installer.log")); }

private:
    QImage m_lastScreenshot;
};
