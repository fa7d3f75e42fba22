#pragma once

#include <atomic>
#include <mutex>
#include <thread>

// A loopback TCP proxy between the console's controller channel and a
// controller (the simulator) on 127.0.0.1, served from its own thread. Every
// connection accepted on port() gets its own connection upstream; commands
// always pass through at once, while the answers coming back can be delayed,
// swallowed or spoiled from the test thread at any moment. A connection whose
// other end closes, or whose upstream cannot be reached, is closed, as a dead
// controller's would be.
class FaultProxy {
public:
    explicit FaultProxy(int upstreamPort);
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    bool listening() const { return listener_ >= 0; }
    int port() const { return port_; }

    // Answers pass unchanged, at once (ends slow, mute and noise).
    void passThrough();
    // Every answer read from now on is passed on `milliseconds` later.
    void slow(int milliseconds);
    // Commands still go upstream; every answer is dropped.
    void mute();
    // Bytes without a prompt go before every answer.
    void noise();
    // 6 kB of "1,1,1,..." go before the next answer, once.
    void overLong();
    // Closes every connection open now (later ones are served as before).
    void drop();
    // Later connections go to `port`; the open ones are dropped.
    void setUpstream(int port);
    // Connections accepted so far.
    int accepted() const { return accepted_; }

private:
    void run();

    int listener_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    int upstreamPort_;
    int delayMs_ = 0;
    bool muted_ = false;
    bool noisy_ = false;
    bool overLongPending_ = false;
    long dropRequests_ = 0;
    std::atomic<int> accepted_{0};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
