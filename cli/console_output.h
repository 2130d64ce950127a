// The console of a command-line run: lines of UTF-8 text on standard output, the terminal
// title and the key wait.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qm {

/// Writes one line: the text and "\n", flushed. Safe to call from the worker thread.
void WriteConsoleLine(std::string_view text);

/// Writes one line to standard error (failure reasons, never the console's fixed texts).
/// Safe to call from the worker thread.
void WriteConsoleError(std::string_view text);

/// Sets the terminal's title when standard output is a terminal; otherwise does nothing.
void SetConsoleTitle(std::string_view title);

/// Waits for one key press on standard input (one byte when it is not a terminal).
/// Returns at once when standard input is closed or at its end.
void WaitForKey();

/// Sends every console line to sink instead of standard output, and every error line to
/// errorSink (when given) instead of standard error, until the guard is destroyed (for tests
/// and embedding).
class ConsoleCapture {
public:
    explicit ConsoleCapture(std::function<void(std::string_view)> sink,
                            std::function<void(std::string_view)> errorSink = {});
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

private:
    std::function<void(std::string_view)> m_previous;
    std::function<void(std::string_view)> m_previousErrors;
};

} // namespace qm
