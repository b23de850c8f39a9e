#pragma once
// A loopback TCP relay between the layer and the test server, for fault tests: it listens on a
// free port of 127.0.0.1, forwards every connection to the server, and drops all of them when
// the test says so. Its own thread does the forwarding, so a cut lands while the caller's thread
// is blocked inside a client library call.

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace testsupport {

class TcpRelay {
public:
    // Forwards to targetHost:targetPort (the test server by default). Throws std::runtime_error
    // when it cannot listen.
    explicit TcpRelay(const QString& targetHost = QStringLiteral("127.0.0.1"), int targetPort = 3050);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    int port() const { return FPort; }
    // "127.0.0.1/<port>:" + path: a database name that reaches path through the relay.
    QString databaseName(const QString& path) const;

    // Drops every open connection now and returns once they are closed; later connections are
    // refused (closed at once) until allow() is called. Any thread may call it.
    void cut();
    // The same after delay, from the relay's thread; returns at once.
    void cutAfter(std::chrono::milliseconds delay);
    void allow();

    bool wasCut() const { return FCuts.load() > 0; }
    std::uint64_t bytesForwarded() const { return FBytes.load(); }

private:
    struct Pair {
        int client;
        int server;
    };
    void loop();
    void acceptOne();
    void closeAll();
    bool forward(int from, int to);

    QString FTargetHost;
    int FTargetPort;
    int FListener = -1;
    int FPort = 0;
    int FWake[2] = {-1, -1};  // a pipe that wakes the loop for cuts and the stop
    std::mutex FLock;
    std::vector<Pair> FPairs;
    bool FRefusing = false;
    bool FCutPending = false;
    std::chrono::steady_clock::time_point FCutAt;
    std::atomic<bool> FStop{false};
    std::atomic<int> FCuts{0};
    std::atomic<std::uint64_t> FBytes{0};
    std::thread FThread;
};

}  // namespace testsupport
