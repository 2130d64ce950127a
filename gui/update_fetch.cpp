#include "gui/update_fetch.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qm::gui {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

/// Closes a socket when it goes out of scope.
class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Waits for `events` on the socket for at most `ms`; true when they came.
bool WaitFor(int fd, short events, int ms) {
    pollfd p{fd, events, 0};
    int ready = 0;
    do {
        ready = poll(&p, 1, ms < 0 ? 0 : ms);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// A non-blocking connect to one address, bounded by `ms`; the socket, or -1.
int ConnectWithin(const addrinfo& address, int ms) {
    const int fd = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                          address.ai_protocol);
    if (fd < 0)
        return -1;
    if (connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return fd;
    int error = errno;
    if (error == EINPROGRESS && WaitFor(fd, POLLOUT, ms)) {
        socklen_t size = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0)
            return fd;
    }
    close(fd);
    return -1;
}

ResolverFunction g_resolver = getaddrinfo;

// What a name lookup hands back; shared with the lookup's thread, which may outlive the wait.
struct Lookup {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    addrinfo* found = nullptr;
};

// Looks up the host on a thread of its own, so that a resolver that does not answer holds the
// window no longer than `limitMs`; a lookup given up frees its own result when it ends.
addrinfo* ResolveWithin(const UpdateUrlParts& parts, int limitMs) {
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host = parts.host, port = std::to_string(parts.port),
                 resolve = g_resolver] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (resolve(host.c_str(), port.c_str(), &hints, &found) != 0)
            found = nullptr;
        std::lock_guard<std::mutex> hold(lookup->lock);
        if (lookup->abandoned) {
            if (found)
                freeaddrinfo(found);
            return;
        }
        lookup->found = found;
        lookup->done = true;
        lookup->finished.notify_one();
    }).detach();
    std::unique_lock<std::mutex> hold(lookup->lock);
    if (!lookup->finished.wait_for(hold, std::chrono::milliseconds(limitMs),
                                   [&] { return lookup->done; })) {
        lookup->abandoned = true;
        return nullptr;
    }
    return lookup->found;
}

// Resolves the host and tries its addresses in turn until one connects; -1 when none does
// within the connect limit, which covers the lookup too.
int OpenConnection(const UpdateUrlParts& parts, int limitMs) {
    const Clock::time_point start = Clock::now();
    addrinfo* found = ResolveWithin(parts, limitMs);
    if (!found)
        return -1;
    int fd = -1;
    for (const addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        const int left = limitMs - MillisecondsSince(start);
        if (left <= 0)
            break;
        fd = ConnectWithin(*a, left);
    }
    freeaddrinfo(found);
    return fd;
}

bool SendAll(int fd, std::string_view data, Clock::time_point start, int limitMs) {
    while (!data.empty()) {
        const ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            data.remove_prefix(static_cast<size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            WaitFor(fd, POLLOUT, limitMs - MillisecondsSince(start)))
            continue;
        return false;
    }
    return true;
}

// Reads the answer into `buffer` until the peer closes, a receive fails, the buffer is full or
// the limit has passed since `start`, polling in short steps while nothing is waiting.
size_t ReceiveAnswer(int fd, std::vector<char>& buffer, Clock::time_point start,
                     const FetchLimits& limits) {
    size_t used = 0;
    while (used < buffer.size()) {
        if (!WaitFor(fd, POLLIN, limits.pollMs)) {
            if (MillisecondsSince(start) > limits.waitMs)
                break;
            continue;
        }
        const ssize_t got = recv(fd, buffer.data() + used, buffer.size() - used, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (got <= 0)
            break;
        used += static_cast<size_t>(got);
    }
    return used;
}

} // namespace

void SetResolverForTests(ResolverFunction resolver) {
    g_resolver = resolver ? resolver : getaddrinfo;
}

bool SplitUpdateUrl(std::string_view url, UpdateUrlParts& parts) {
    parts = {};
    const size_t scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    // The authority ends at the path or the query; user information ends at its "@".
    const size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    const size_t colon = authority.find(':');
    parts.host = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos) {
        const std::string_view digits = authority.substr(colon + 1);
        if (digits.empty() || digits.size() > 5)
            return false;
        int port = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9')
                return false;
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535)
            return false;
        parts.port = port;
    }
    if (authorityEnd != std::string_view::npos && rest[authorityEnd] == '/') {
        std::string_view path = rest.substr(authorityEnd + 1);
        path = path.substr(0, path.find_first_of("?#"));
        parts.path = std::string(path);
    }
    return !parts.host.empty();
}

std::string BuildUpdateRequest(const UpdateUrlParts& parts, std::string_view agent) {
    std::string request = "GET /" + parts.path + " HTTP/1.0\r\n";
    request += "Host: " + parts.host + "\r\n";
    request += "Accept: */*\r\n";
    request += "User-Agent: ";
    request += agent.empty() ? std::string_view(DefaultUserAgent) : agent;
    request += "\r\n";
    request += "Connection: close\r\n\r\n";
    return request;
}

std::string VersionFromAnswer(std::string_view answer) {
    const size_t headersEnd = answer.find("\r\n\r\n");
    if (headersEnd == std::string_view::npos)
        return {};
    std::string_view body = answer.substr(headersEnd + 4);
    body = body.substr(0, body.find("\r\n\r\n"));
    return std::string(TrimBlanks(body).substr(0, 3));
}

std::string FetchUpdateInfo(std::string_view url, std::string_view agent,
                            const FetchLimits& limits) {
    UpdateUrlParts parts;
    if (url.empty() || !SplitUpdateUrl(url, parts))
        return {};
    std::vector<char> buffer(UpdateAnswerSize, 0);
    Socket connection(OpenConnection(parts, limits.connectMs));
    if (connection.fd() < 0)
        return {};
    const Clock::time_point start = Clock::now();
    if (!SendAll(connection.fd(), BuildUpdateRequest(parts, agent), start, limits.waitMs))
        return {};
    const size_t used = ReceiveAnswer(connection.fd(), buffer, start, limits);
    // The answer is text up to its first zero byte.
    std::string_view answer(buffer.data(), used);
    answer = answer.substr(0, answer.find('\0'));
    return VersionFromAnswer(answer);
}

} // namespace qm::gui
