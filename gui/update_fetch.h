// The update information file over a minimal HTTP/1.0 client of our own (no Qt).
#pragma once

#include <string>
#include <string_view>

struct addrinfo;

namespace qm::gui {

/// The parts of the update URL the request needs.
struct UpdateUrlParts {
    std::string host;
    int port = 80;
    std::string path; // without the leading "/" and without the query
};

/// Splits a URL: the host follows "://" and any user information (which ends at "@"), up to
/// ":" or "/"; the port is the number after ":" (80 without one); the path follows the first
/// "/" after the host, up to "?". False for an empty host or a port that is not 1..65535.
bool SplitUpdateUrl(std::string_view url, UpdateUrlParts& parts);

/// The request, byte for byte: GET, Host, Accept, User-Agent and Connection: close.
std::string BuildUpdateRequest(const UpdateUrlParts& parts, std::string_view agent);

/// The user agent sent when the caller gives none.
inline constexpr const char* DefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; en)";

/// The version in an answer: the text after the first empty line up to the next one (or the
/// end), trimmed of blanks, cut to its first three characters; empty when the answer has no
/// empty line.
std::string VersionFromAnswer(std::string_view answer);

/// Time limits of one fetch, in milliseconds; tests shorten them.
struct FetchLimits {
    int connectMs = 10000; // to look up the host and stand the connection
    int waitMs = 10000;    // from the sent request to the end of the answer
    int pollMs = 20;       // one wait for data
};

/// The largest answer read: status line and headers included.
inline constexpr size_t UpdateAnswerSize = 2048;

/// Fetches the update information file: at most three characters of its body, or "" for every
/// failure (empty or unusable URL, unknown host, no connection, no answer within the limits,
/// an answer without an empty line).
std::string FetchUpdateInfo(std::string_view url, std::string_view agent,
                            const FetchLimits& limits = {});

/// The name lookup (getaddrinfo's signature); tests put a slow one in place, nullptr puts
/// getaddrinfo back. A lookup that outlives the connect limit is given up, not waited for.
using ResolverFunction = int (*)(const char*, const char*, const ::addrinfo*, ::addrinfo**);
void SetResolverForTests(ResolverFunction resolver);

} // namespace qm::gui
