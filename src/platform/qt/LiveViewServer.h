#pragma once

#include <QAbstractHttpServer>
#include <QString>

#include <memory>

class LiveViewSite;

// The live view's HTTP server over the working folder `folder`: every request
// answered at once from LiveViewSite, on the window's event loop. Qt's
// sockets never block, so a client that stalls only holds its own
// connection. At most kMaxClients connections at a time (more are closed at
// once); a connection whose pending request grows beyond kMaxRequestBytes,
// or that brings no whole request within kIdleMilliseconds of its opening or
// its last answer, is dropped.
class LiveViewServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 16;
    static constexpr qint64 kMaxRequestBytes = 8 * 1024;
    static constexpr int kIdleMilliseconds = 30000;

    explicit LiveViewServer(const QString& folder, QObject* parent = nullptr);
    ~LiveViewServer() override;

    // Listens on host:port (port 0: one the system picks). Empty when
    // listening, else why not: "'host' is not an IP address",
    // "127.0.0.1:8642 cannot be served (The bound address is already in use)".
    QString start(const QString& host, quint16 port);
    // The port listened on; 0 before start succeeded.
    quint16 port() const { return port_; }

signals:
    // A request was answered, for a watcher: its method and path.
    void answered(const QString& method, const QString& path);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    std::unique_ptr<LiveViewSite> site_;
    quint16 port_ = 0;
};
