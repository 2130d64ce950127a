// The messages of the imaging libraries (FreeImage, libtiff, OpenJPEG, DevIL): kept per thread
// for the reason of a failed file, never printed on the console.
#pragma once

#include <string>
#include <string_view>

namespace qm {

/// Points FreeImage's and libtiff's message output at the kept messages; once per process,
/// later calls do nothing. Safe to call from any thread.
void RouteLibraryMessages();

/// Forgets the messages kept on this thread.
void ClearLibraryMessages();

/// Keeps one message of a library ("TIFF", "FreeImage", ...) on this thread; only the last
/// few are kept.
void NoteLibraryMessage(std::string_view library, std::string_view message);

/// The messages kept on this thread since the last clear, "library: message" joined by "; ",
/// oldest first; empty when there are none.
std::string LibraryMessages();

} // namespace qm
