#pragma once

#include "tests/e2e/Desktop.h"

namespace E2E {

// Orca, the screen reader, listening on an accessibility bus of a virtual display, under a window
// manager as on a desktop (Orca follows the active window). What it would say is read from its
// debug output, which records every utterance as a "SPEECH OUTPUT" line whether or not a speech
// synthesizer is there to say it. Its settings, cache and log stay in the folder it is given.
class ScreenReader {
public:
    ScreenReader(const AccessibilityBus& bus, const QString& folder);
    ~ScreenReader();
    ScreenReader(const ScreenReader&) = delete;
    ScreenReader& operator=(const ScreenReader&) = delete;

    // Empty once Orca listens; otherwise why it does not, with what it said.
    QString error() const { return m_error; }
    // Every utterance so far, in order.
    QStringList spoken() const;
    // Waits for an utterance holding the text, among those after the first `from`.
    bool waitFor(const QString& text, qsizetype from, Milliseconds timeout = 30s) const;
    // The end of what Orca wrote, for a failure's message.
    std::string logTail() const;

private:
    QString m_logPath;
    QString m_error;
    std::unique_ptr<ChildProcess> m_windowManager;
    std::unique_ptr<ChildProcess> m_orca;
};

}  // namespace E2E
