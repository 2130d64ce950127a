#include "engine/library_messages.h"

#include <FreeImage.h>
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>

namespace qm {

namespace {

constexpr size_t kKeptMessages = 4;

std::deque<std::string>& Kept() {
    thread_local std::deque<std::string> messages;
    return messages;
}

void FreeImageMessage(FREE_IMAGE_FORMAT format, const char* message) {
    const char* name = format == FIF_UNKNOWN ? nullptr : FreeImage_GetFormatFromFIF(format);
    NoteLibraryMessage(name ? name : "FreeImage", message ? message : "");
}

void TiffMessage(const char* module, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::string message = module ? std::string(module) + ": " + text : std::string(text);
    NoteLibraryMessage("TIFF", message);
}

} // namespace

void RouteLibraryMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        FreeImage_SetOutputMessage(FreeImageMessage);
        // libtiff warns on standard error for every deflate TIFF FreeImage writes ("legacy
        // Deflate codec identifier") and for LogLuv ("Unknown pseudo-tag").
        TIFFSetErrorHandler(TiffMessage);
        TIFFSetWarningHandler(TiffMessage);
    });
}

void ClearLibraryMessages() {
    Kept().clear();
}

void NoteLibraryMessage(std::string_view library, std::string_view message) {
    std::deque<std::string>& kept = Kept();
    if (kept.size() == kKeptMessages)
        kept.pop_front();
    // Some libraries end their messages with a line end.
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.remove_suffix(1);
    kept.push_back(std::string(library) + ": " + std::string(message));
}

std::string LibraryMessages() {
    std::string joined;
    for (const std::string& message : Kept())
        joined += (joined.empty() ? "" : "; ") + message;
    return joined;
}

} // namespace qm
