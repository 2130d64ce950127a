#include "platform/shell/shell_open.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>
#include <utility>

extern char** environ;

namespace qm {
namespace {

std::mutex g_openerLock;
ShellOpener g_opener;

} // namespace

bool StartDetachedOpener(const std::string& program, const std::string& target) {
    // A short-lived shell starts the opener in the background and ends at once, so the opener
    // is nobody's child here: nothing to wait for later and no zombie left behind.
    const char* script = "\"$0\" \"$1\" </dev/null >/dev/null &";
    const char* argv[] = {"sh", "-c", script, program.c_str(), target.c_str(), nullptr};
    pid_t shell = 0;
    if (posix_spawn(&shell, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(shell, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void SetShellOpener(ShellOpener opener) {
    std::lock_guard<std::mutex> hold(g_openerLock);
    g_opener = std::move(opener);
}

void OpenWithShell(const std::string& target) {
    ShellOpener opener;
    {
        std::lock_guard<std::mutex> hold(g_openerLock);
        opener = g_opener;
    }
    if (opener) {
        opener(target);
        return;
    }
    StartDetachedOpener("xdg-open", target);
}

} // namespace qm
