#pragma once
// A small HTTP/1.1 server on 127.0.0.1 and a free port, for tests of downloads. Each connection
// gets a thread; the server answers GET by path:
//   /hello          200 "hello, world"
//   /big            200 with kBigSize bytes of a known pattern (BigByte)
//   /stall          200 announcing kBigSize bytes, sends kStallSent of them, then waits until stopped
//   /endless        200 without a length, whose body never ends
//   /bomb           200 gzip-encoded: kBombSize zero bytes in about a thousandth of that
//   /silent         reads the request and never answers
//   anything else   404
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

class HttpTestServer {
public:
    static constexpr size_t kBigSize = 10 * 1024 * 1024;
    static constexpr size_t kStallSent = 64 * 1024;
    static constexpr size_t kBombSize = 64 * 1024 * 1024;

    static char BigByte(size_t i) { return char('a' + (i * 7 + i / 1000) % 26); }

    HttpTestServer() {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(listen_, 16) != 0 ||
            getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port_ = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }
    ~HttpTestServer() {
        stopping_ = true;
        if (listen_ >= 0) shutdown(listen_, SHUT_RDWR);
        if (acceptor_.joinable()) acceptor_.join();
        {
            std::lock_guard lock(mutex_);
            for (int fd : open_)
                shutdown(fd, SHUT_RDWR);
        }
        for (std::thread& t : connections_)
            t.join();
        if (listen_ >= 0) close(listen_);
    }
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int Port() const { return port_; }
    std::u16string Url(const std::string& path) const {
        std::string url = "http://127.0.0.1:" + std::to_string(port_) + path;
        return std::u16string(url.begin(), url.end());
    }
    int Requests() const { return requests_; }
    // True once the stalling answer has sent its first part.
    bool Stalled() const { return stalled_; }
    // True once a request for /silent has been read.
    bool Silent() const { return silent_; }

    // A port on which nobody listens.
    static int RefusingPort() {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
        close(fd);
        return ntohs(addr.sin_port);
    }

private:
    void AcceptLoop() {
        while (!stopping_) {
            int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;
            std::lock_guard lock(mutex_);
            open_.push_back(fd);
            connections_.emplace_back([this, fd] { Serve(fd); });
        }
    }

    static bool SendAll(int fd, const char* data, size_t size) {
        while (size) {
            ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
            if (n <= 0) return false;
            data += n;
            size -= size_t(n);
        }
        return true;
    }

    // kBombSize zero bytes, gzip-compressed once.
    static const std::string& Bomb() {
        static const std::string bomb = [] {
            std::string out;
            z_stream z{};
            if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) return out;
            static const unsigned char zeros[1 << 20] = {};
            unsigned char buffer[1 << 16];
            for (size_t fed = 0; fed <= kBombSize; fed += sizeof zeros) {
                const bool last = fed == kBombSize;
                z.next_in = const_cast<unsigned char*>(zeros);
                z.avail_in = last ? 0 : uInt(sizeof zeros);
                do {
                    z.next_out = buffer;
                    z.avail_out = sizeof buffer;
                    deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
                    out.append(reinterpret_cast<char*>(buffer), sizeof buffer - z.avail_out);
                } while (z.avail_out == 0);
            }
            deflateEnd(&z);
            return out;
        }();
        return bomb;
    }

    void Serve(int fd) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, size_t(n));
        }
        ++requests_;
        size_t start = request.find(' ') + 1;
        std::string path = request.substr(start, request.find(' ', start) - start);
        auto head = [](const char* status, size_t length, const char* extra = "") {
            return std::string("HTTP/1.1 ") + status + "\r\nContent-Length: " + std::to_string(length) +
                   "\r\nContent-Type: application/octet-stream\r\n" + extra + "Connection: close\r\n\r\n";
        };
        if (path == "/hello") {
            std::string answer = head("200 OK", 12) + "hello, world";
            SendAll(fd, answer.data(), answer.size());
        } else if (path == "/big" || path == "/stall") {
            std::string answer = head("200 OK", kBigSize);
            SendAll(fd, answer.data(), answer.size());
            size_t total = path == "/big" ? kBigSize : kStallSent;
            std::string chunk;
            for (size_t at = 0; at < total; at += chunk.size()) {
                chunk.clear();
                for (size_t i = at; i < total && chunk.size() < 65536; ++i)
                    chunk += BigByte(i);
                if (!SendAll(fd, chunk.data(), chunk.size())) break;
            }
            if (path == "/stall") {
                stalled_ = true;
                while (!stopping_ && recv(fd, buffer, sizeof buffer, 0) > 0) {
                }
            }
        } else if (path == "/endless") {
            std::string answer =
                "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
            const std::string chunk(65536, 'x');
            for (bool sent = SendAll(fd, answer.data(), answer.size()); sent && !stopping_;)
                sent = SendAll(fd, chunk.data(), chunk.size());
        } else if (path == "/bomb") {
            std::string answer = head("200 OK", Bomb().size(), "Content-Encoding: gzip\r\n") + Bomb();
            SendAll(fd, answer.data(), answer.size());
        } else if (path == "/silent") {
            silent_ = true;
            while (!stopping_ && recv(fd, buffer, sizeof buffer, 0) > 0) {
            }
        } else {
            std::string answer = head("404 Not Found", 9) + "not found";
            SendAll(fd, answer.data(), answer.size());
        }
        shutdown(fd, SHUT_WR);
        while (recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
        std::lock_guard lock(mutex_);
        std::erase(open_, fd);
        close(fd);
    }

    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> stalled_{false};
    std::atomic<bool> silent_{false};
    std::atomic<int> requests_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<int> open_;
    std::vector<std::thread> connections_;
};

} // namespace test
