#include "platform/qt/LiveViewServer.h"

#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "beam/LiveView.h"

namespace {

// Accepts at most `limit` connections at a time and drops any connection
// whose unanswered request grows beyond `maxBytes`; the HTTP server sees
// only the connections it keeps.
class LimitedTcpServer : public QTcpServer {
public:
    LimitedTcpServer(int limit, qint64 maxBytes, QObject* parent)
        : QTcpServer(parent), limit_(limit), maxBytes_(maxBytes), open_(std::make_shared<int>(0)) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        if (*open_ >= limit_) {
            socket->abort();
            socket->deleteLater();
            return;
        }
        ++*open_;
        std::shared_ptr<int> open = open_;
        connect(socket, &QObject::destroyed, [open] { --*open; });
        // Connected before the HTTP server's own handler, so it runs first:
        // the server keeps an incomplete request unread in the socket.
        const qint64 maxBytes = maxBytes_;
        connect(socket, &QTcpSocket::readyRead, socket, [socket, maxBytes] {
            if (socket->bytesAvailable() > maxBytes)
                QMetaObject::invokeMethod(socket, &QTcpSocket::abort, Qt::QueuedConnection);
        });
        // A connection that brings no whole request for a while gives its
        // place back; each answer starts the wait again.
        auto* idle = new QTimer(socket);
        idle->setObjectName(QStringLiteral("idle"));
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        idle->start(LiveViewServer::kIdleMilliseconds);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        addPendingConnection(socket);
    }

private:
    int limit_;
    qint64 maxBytes_;
    std::shared_ptr<int> open_;  // shared: the sockets may outlive this object's own part
};

QByteArray utf8(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

LiveViewServer::LiveViewServer(const QString& folder, QObject* parent)
    : QAbstractHttpServer(parent), site_(std::make_unique<LiveViewSite>(folder.toStdString())) {}

LiveViewServer::~LiveViewServer() = default;

QString LiveViewServer::start(const QString& host, quint16 port) {
    QHostAddress address;
    if (!address.setAddress(host)) return QStringLiteral("'%1' is not an IP address").arg(host);
    auto* server = new LimitedTcpServer(kMaxClients, kMaxRequestBytes, this);
    if (!server->listen(address, port)) {
        const QString why = QStringLiteral("%1:%2 cannot be served (%3)").arg(host).arg(port).arg(server->errorString());
        delete server;
        return why;
    }
    port_ = server->serverPort();
    bind(server);
    return {};
}

bool LiveViewServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    const QHttpServerRequest::Method method = request.method();
    const char* name = method == QHttpServerRequest::Method::Get    ? "GET"
                       : method == QHttpServerRequest::Method::Head ? "HEAD"
                                                                    : "other";
    const QString path = request.url().path(QUrl::FullyEncoded);
    const LiveViewAnswer answer = site_->answer(name, path.toStdString());
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(answer.status));
    responder.writeHeader("Content-Type", utf8(answer.contentType));
    responder.writeHeader("Content-Length", QByteArray::number(static_cast<qulonglong>(answer.body.size())));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    if (!answer.allow.empty()) responder.writeHeader("Allow", utf8(answer.allow));
    if (method == QHttpServerRequest::Method::Head) {
        responder.writeBody("", 0);
    } else {
        responder.writeBody(answer.body.data(), static_cast<qint64>(answer.body.size()));
    }
    if (auto* idle = socket->findChild<QTimer*>(QStringLiteral("idle"), Qt::FindDirectChildrenOnly))
        idle->start(kIdleMilliseconds);
    emit answered(QString::fromLatin1(name), path);
    return true;
}

void LiveViewServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    handleRequest(request, socket);  // never reached: every request has its answer
}
