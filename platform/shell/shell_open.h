// Hands a file name, web address or mailto: link to the desktop's opener (xdg-open).
#pragma once

#include <functional>
#include <string>

namespace qm {

/// Asks the desktop to open `target` (a file, a URL or a mailto: link) the way a double click
/// would. Never waits for the opener and reports nothing: a missing opener, browser or mail
/// program shows at most the opener's own message.
void OpenWithShell(const std::string& target);

/// Replaces the opener (for tests); an empty function puts the desktop's opener back.
using ShellOpener = std::function<void(const std::string& target)>;
void SetShellOpener(ShellOpener opener);

/// The desktop's opener itself: starts `program` with `target` as its only parameter, detached
/// from this process, and returns at once. Returns false when nothing could be started.
bool StartDetachedOpener(const std::string& program, const std::string& target);

} // namespace qm
