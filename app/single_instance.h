// One copy of the program at a time: an exclusive lock on a file named after the window title.
#pragma once

#include <string>

namespace qm {

/// What AcquireInstance returns when another process holds the lock.
inline constexpr int AnotherInstanceRuns = -2;
/// What AcquireInstance returns when no lock file can be made (the program then runs unguarded).
inline constexpr int NoInstanceLock = -1;

/// The folder of the lock file, ending in "/": $XDG_RUNTIME_DIR when it is an absolute path,
/// else $TMPDIR when absolute, else /tmp/.
std::string InstanceLockFolder();

/// Takes an exclusive flock on InstanceLockFolder() + title + ".lock" (created when missing,
/// never followed through a symbolic link). Returns the open descriptor that holds the lock,
/// AnotherInstanceRuns when another process holds it, or NoInstanceLock when the file cannot be
/// opened or locked for another reason.
int AcquireInstance(const std::string& title);

/// Releases a lock taken by AcquireInstance (values below 0 are ignored).
void ReleaseInstance(int handle);

} // namespace qm
