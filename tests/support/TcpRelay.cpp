#include "TcpRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace testsupport {

namespace {

[[noreturn]] void fail(const char* what)
{
    throw std::runtime_error(std::string("TcpRelay: ") + what + ": " + std::strerror(errno));
}

sockaddr_in address(const QString& host, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, host.toLatin1().constData(), &a.sin_addr) != 1)
        throw std::runtime_error("TcpRelay: not an IPv4 address: " + host.toStdString());
    return a;
}

// Ends a socket at once: both directions shut, so the peer reads end of stream.
void drop(int fd)
{
    if (fd < 0)
        return;
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

}  // namespace

TcpRelay::TcpRelay(const QString& targetHost, int targetPort)
    : FTargetHost(targetHost), FTargetPort(targetPort)
{
    if (::pipe(FWake) != 0)
        fail("pipe");
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FListener < 0)
        fail("socket");
    const int on = 1;
    ::setsockopt(FListener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = address(QStringLiteral("127.0.0.1"), 0);
    socklen_t size = sizeof a;
    if (::bind(FListener, reinterpret_cast<sockaddr*>(&a), size) != 0 || ::listen(FListener, 16) != 0
        || ::getsockname(FListener, reinterpret_cast<sockaddr*>(&a), &size) != 0)
        fail("listen");
    FPort = ntohs(a.sin_port);
    FThread = std::thread([this] { loop(); });
}

TcpRelay::~TcpRelay()
{
    FStop = true;
    const char wake = 's';
    [[maybe_unused]] const ssize_t written = ::write(FWake[1], &wake, 1);
    FThread.join();
    closeAll();
    ::close(FListener);
    ::close(FWake[0]);
    ::close(FWake[1]);
}

QString TcpRelay::databaseName(const QString& path) const
{
    return QStringLiteral("127.0.0.1/%1:%2").arg(FPort).arg(path);
}

void TcpRelay::cut()
{
    cutAfter(std::chrono::milliseconds(0));
    // The relay's thread alone closes its sockets; wait (bounded) until it has.
    for (int i = 0; i < 500; ++i) {
        {
            const std::lock_guard<std::mutex> guard(FLock);
            if (!FCutPending)
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void TcpRelay::cutAfter(std::chrono::milliseconds delay)
{
    {
        const std::lock_guard<std::mutex> guard(FLock);
        FCutPending = true;
        FCutAt = std::chrono::steady_clock::now() + delay;
    }
    const char wake = 'c';
    [[maybe_unused]] const ssize_t written = ::write(FWake[1], &wake, 1);
}

void TcpRelay::allow()
{
    const std::lock_guard<std::mutex> guard(FLock);
    FRefusing = false;
}

void TcpRelay::closeAll()
{
    const std::lock_guard<std::mutex> guard(FLock);
    for (const Pair& p : FPairs) {
        drop(p.client);
        drop(p.server);
    }
    if (!FPairs.empty())
        ++FCuts;
    FPairs.clear();
}

void TcpRelay::acceptOne()
{
    const int client = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
        return;
    {
        const std::lock_guard<std::mutex> guard(FLock);
        if (FRefusing) {
            drop(client);
            return;
        }
    }
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in target = address(FTargetHost, FTargetPort);
    if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        drop(server);
        drop(client);
        return;
    }
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const std::lock_guard<std::mutex> guard(FLock);
    FPairs.push_back({client, server});
}

// Copies what from has to to; false when either side has ended.
bool TcpRelay::forward(int from, int to)
{
    char buffer[16384];
    const ssize_t got = ::recv(from, buffer, sizeof buffer, 0);
    if (got <= 0)
        return false;
    for (ssize_t sent = 0; sent < got;) {
        const ssize_t n = ::send(to, buffer + sent, static_cast<size_t>(got - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    FBytes += static_cast<std::uint64_t>(got);
    return true;
}

void TcpRelay::loop()
{
    while (!FStop) {
        std::vector<pollfd> fds{{FWake[0], POLLIN, 0}, {FListener, POLLIN, 0}};
        std::vector<Pair> pairs;
        int timeout = -1;
        {
            const std::lock_guard<std::mutex> guard(FLock);
            pairs = FPairs;
            if (FCutPending) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    FCutAt - std::chrono::steady_clock::now());
                timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
            }
        }
        for (const Pair& p : pairs) {
            fds.push_back({p.client, POLLIN, 0});
            fds.push_back({p.server, POLLIN, 0});
        }
        if (timeout != 0 && ::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            char wake[16];
            [[maybe_unused]] const ssize_t n = ::read(FWake[0], wake, sizeof wake);
        }
        bool cutNow = false;
        {
            const std::lock_guard<std::mutex> guard(FLock);
            if (FCutPending && std::chrono::steady_clock::now() >= FCutAt) {
                FCutPending = false;
                FRefusing = true;
                cutNow = true;
            }
        }
        if (cutNow) {
            closeAll();
            continue;
        }
        if (fds[1].revents & POLLIN)
            acceptOne();
        std::vector<Pair> ended;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const pollfd& c = fds[2 + 2 * i];
            const pollfd& s = fds[3 + 2 * i];
            bool alive = true;
            if (c.revents & (POLLIN | POLLHUP | POLLERR))
                alive = forward(pairs[i].client, pairs[i].server);
            if (alive && (s.revents & (POLLIN | POLLHUP | POLLERR)))
                alive = forward(pairs[i].server, pairs[i].client);
            if (!alive)
                ended.push_back(pairs[i]);
        }
        if (!ended.empty()) {
            const std::lock_guard<std::mutex> guard(FLock);
            for (const Pair& e : ended) {
                for (auto it = FPairs.begin(); it != FPairs.end(); ++it) {
                    if (it->client == e.client) {
                        drop(it->client);
                        drop(it->server);
                        FPairs.erase(it);
                        break;
                    }
                }
            }
        }
    }
}

}  // namespace testsupport
