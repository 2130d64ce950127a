#include "cli/console_output.h"

#include <cstdio>
#include <mutex>
#include <termios.h>
#include <unistd.h>

namespace qm {

namespace {

std::mutex& OutputLock() {
    static std::mutex lock;
    return lock;
}

std::function<void(std::string_view)>& Sink() {
    static std::function<void(std::string_view)> sink;
    return sink;
}

std::function<void(std::string_view)>& ErrorSink() {
    static std::function<void(std::string_view)> sink;
    return sink;
}

void WriteLine(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Control characters in a title would end the escape sequence early.
std::string PrintableTitle(std::string_view title) {
    std::string out;
    for (char c : title)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            out += c;
    return out;
}

} // namespace

void WriteConsoleLine(std::string_view text) {
    std::lock_guard<std::mutex> guard(OutputLock());
    if (Sink()) {
        Sink()(text);
        return;
    }
    WriteLine(stdout, text);
}

void WriteConsoleError(std::string_view text) {
    std::lock_guard<std::mutex> guard(OutputLock());
    if (ErrorSink()) {
        ErrorSink()(text);
        return;
    }
    WriteLine(stderr, text);
}

void SetConsoleTitle(std::string_view title) {
    std::lock_guard<std::mutex> guard(OutputLock());
    if (Sink() || !isatty(STDOUT_FILENO))
        return;
    std::fprintf(stdout, "\033]0;%s\007", PrintableTitle(title).c_str());
    std::fflush(stdout);
}

void WaitForKey() {
    if (!isatty(STDIN_FILENO)) {
        std::fgetc(stdin);
        return;
    }
    // One key, without waiting for Enter and without echo.
    termios saved{};
    const bool raw = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (raw) {
        termios single = saved;
        single.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        single.c_cc[VMIN] = 1;
        single.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &single);
    }
    char key = 0;
    [[maybe_unused]] const ssize_t n = read(STDIN_FILENO, &key, 1);
    if (raw)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

ConsoleCapture::ConsoleCapture(std::function<void(std::string_view)> sink,
                               std::function<void(std::string_view)> errorSink) {
    std::lock_guard<std::mutex> guard(OutputLock());
    m_previous = std::move(Sink());
    m_previousErrors = std::move(ErrorSink());
    Sink() = std::move(sink);
    ErrorSink() = std::move(errorSink);
}

ConsoleCapture::~ConsoleCapture() {
    std::lock_guard<std::mutex> guard(OutputLock());
    Sink() = std::move(m_previous);
    ErrorSink() = std::move(m_previousErrors);
}

} // namespace qm
