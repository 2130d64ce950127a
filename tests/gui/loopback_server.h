// A one-connection HTTP server on 127.0.0.1 that a test starts itself: it records the request
// and answers as told, so the update check never reaches outside the machine.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace qm::gui::test {

class LoopbackServer {
public:
    enum class Mode {
        AnswerAndClose, // sends the answer (in its pieces) and closes
        AnswerAndHold,  // sends the answer, then keeps the connection open
        Silent,         // reads the request, sends nothing and never closes
    };

    /// `pieces` are sent one after another with `gap` between them.
    LoopbackServer(std::vector<std::string> pieces, Mode mode,
                   std::chrono::milliseconds gap = std::chrono::milliseconds(0))
        : m_pieces(std::move(pieces)), m_mode(mode), m_gap(gap) {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 4);
        socklen_t size = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    explicit LoopbackServer(std::string answer, Mode mode = Mode::AnswerAndClose)
        : LoopbackServer(std::vector<std::string>{std::move(answer)}, mode) {}

    ~LoopbackServer() {
        m_stop = true;
        m_thread.join();
        close(m_listener);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_port; }
    std::string url(const std::string& pathAndQuery = "/files/pirelo.dat") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + pathAndQuery;
    }
    /// The request as received (up to its empty line); waits for it for at most 5 s.
    std::string request() {
        auto future = m_request.get_future();
        if (future.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
            return "(no request)";
        return future.get();
    }

private:
    bool Readable(int fd) {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, 20) > 0;
    }

    void Serve() {
        int client = -1;
        while (!m_stop && client < 0)
            if (Readable(m_listener))
                client = accept(m_listener, nullptr, nullptr);
        if (client < 0) {
            m_request.set_value({});
            return;
        }
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (received.find("\r\n\r\n") == std::string::npos && !m_stop &&
               std::chrono::steady_clock::now() < deadline) {
            char chunk[512];
            if (!Readable(client))
                continue;
            const ssize_t got = recv(client, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            received.append(chunk, static_cast<size_t>(got));
        }
        m_request.set_value(received);
        if (m_mode != Mode::Silent)
            for (size_t i = 0; i < m_pieces.size(); ++i) {
                if (i > 0)
                    std::this_thread::sleep_for(m_gap);
                send(client, m_pieces[i].data(), m_pieces[i].size(), MSG_NOSIGNAL);
            }
        // Holding: wait until the client gives up and closes, or the test ends.
        if (m_mode != Mode::AnswerAndClose)
            while (!m_stop) {
                char chunk[64];
                if (Readable(client) && recv(client, chunk, sizeof chunk, 0) <= 0)
                    break;
            }
        close(client);
    }

    std::vector<std::string> m_pieces;
    Mode m_mode;
    std::chrono::milliseconds m_gap;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::promise<std::string> m_request;
    std::thread m_thread;
};

/// A loopback port that refuses connections: bound once, then closed again.
inline int RefusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

} // namespace qm::gui::test
