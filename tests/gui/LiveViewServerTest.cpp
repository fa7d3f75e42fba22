// The live view's server on a loopback port the system picks, spoken to with
// raw requests: the three routes, the refused methods and paths, HEAD, a
// stalled client beside a served one, an oversized request, the client limit
// and a port in use.

#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/qt/LiveViewServer.h"

namespace {

// What the console wrote, with a character that must come through as UTF-8.
const QByteArray kLive = "{\n  \"time\": \"2026-12-11T10:00:00+01:00\",\n  \"beam\": {\"ion\": \"84Kr\", "
                         "\"name\": \"Kr \xc2\xb5\"},\n  \"run\": null\n}\n";

struct Reply {
    QByteArray head;  // status line and headers
    QByteArray body;
};

// The first complete reply read from `socket` (headers, then Content-Length
// bytes unless `headOnly`); an empty head when the server closed the
// connection first, "no reply" when none came.
Reply readReply(QTcpSocket& socket, bool headOnly = false)
{
    QByteArray data;
    Reply reply;
    bool done = false;
    const auto complete = [&] {
        data += socket.readAll();
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0)
            return socket.state() == QAbstractSocket::UnconnectedState;
        const QByteArray head = data.left(end);
        const qsizetype at = head.toLower().indexOf("\r\ncontent-length: ");
        const qsizetype length = at < 0 || headOnly ? 0 : head.mid(at + 18).split('\r').first().toLongLong();
        if (data.size() - end - 4 < length && socket.state() != QAbstractSocket::UnconnectedState)
            return false;
        reply = {head, data.mid(end + 4)};
        return true;
    };
    for (int i = 0; i < 1000 && !(done = complete()); ++i)
        QTest::qWait(10);
    if (!done)
        reply.head = "no reply";
    return reply;
}

Reply exchange(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    return readReply(socket);
}

Reply get(quint16 port, const QByteArray& method, const QByteArray& path)
{
    return exchange(port, method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

}  // namespace

class LiveViewServerTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->isValid());
        QFile live(folder_->filePath(QStringLiteral("TarvexLive.json")));
        QVERIFY(live.open(QIODevice::WriteOnly));
        live.write(kLive);
        live.close();
        QFile logbook(folder_->filePath(QStringLiteral("BeamRuns.csv")));
        QVERIFY(logbook.open(QIODevice::WriteOnly));
        logbook.write("not to be served\n");
        logbook.close();
        server_ = std::make_unique<LiveViewServer>(folder_->path());
        QCOMPARE(server_->start(QStringLiteral("127.0.0.1"), 0), QString());
        QVERIFY(server_->port() != 0);
    }

    void cleanup()
    {
        server_.reset();
        folder_.reset();
    }

    void servesThePageTheStatusAndThePlot()
    {
        const Reply page = get(server_->port(), "GET", "/");
        QVERIFY2(page.head.startsWith("HTTP/1.1 200 OK\r\n"), page.head.constData());
        QVERIFY(page.head.contains("\r\nContent-Type: text/html; charset=utf-8"));
        QVERIFY(page.head.contains("\r\nCache-Control: no-store"));
        QVERIFY(page.head.contains("\r\nX-Content-Type-Options: nosniff"));
        QVERIFY(page.body.startsWith("<!DOCTYPE html>"));
        QVERIFY(page.body.contains("fetch(\"/live.json\""));
        QVERIFY(page.body.contains("Console not reachable"));
        QVERIFY2(!page.body.contains("http://") && !page.body.contains("https://") && !page.body.contains(" src=\"/"),
                 "nothing fetched from elsewhere");

        const Reply live = get(server_->port(), "GET", "/live.json");
        QVERIFY(live.head.startsWith("HTTP/1.1 200 OK\r\n"));
        QVERIFY(live.head.contains("\r\nContent-Type: application/json"));
        QCOMPARE(live.body, kLive);

        const Reply plot = get(server_->port(), "GET", "/cross-section.svg?t=1");
        QVERIFY(plot.head.startsWith("HTTP/1.1 200 OK\r\n"));
        QVERIFY(plot.head.contains("\r\nContent-Type: image/svg+xml"));
        QVERIFY2(plot.body.startsWith("<?xml") || plot.body.startsWith("<svg"), plot.body.left(80).constData());

        // HEAD: the same headers, no body.
        QTcpSocket head;
        head.connectToHost(QHostAddress::LocalHost, server_->port());
        head.write("HEAD /live.json HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        const Reply headers = readReply(head, true);
        QVERIFY2(headers.head.contains("\r\nContent-Length: " + QByteArray::number(kLive.size())), headers.head.constData());
        QVERIFY(headers.body.isEmpty());
        QTest::qWait(100);  // anything more would come now
        QCOMPARE(head.readAll(), QByteArray());
    }

    void refusesEveryOtherMethodAndPath()
    {
        for (const QByteArray method : {"POST", "PUT", "DELETE", "OPTIONS"}) {
            const Reply refused = exchange(server_->port(), method + " /live.json HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                                    "Content-Length: 2\r\n\r\n{}");
            QVERIFY2(refused.head.startsWith("HTTP/1.1 405 Method Not Allowed\r\n"), method.constData());
            QVERIFY(refused.head.contains("\r\nAllow: GET, HEAD"));
        }
        for (const QByteArray path : {"/BeamRuns.csv", "/../BeamRuns.csv", "/TarvexLive.json", "/live.json/"}) {
            const Reply missing = get(server_->port(), "GET", path);
            QVERIFY2(missing.head.startsWith("HTTP/1.1 404 Not Found\r\n"), path.constData());
            QVERIFY(!missing.body.contains("not to be served"));
        }
    }

    // A client that sends half a request and waits holds only its own
    // connection: another is answered meanwhile, and it is answered once
    // its request is whole.
    void aStalledClientDelaysNoOther()
    {
        QTcpSocket stalled;
        stalled.connectToHost(QHostAddress::LocalHost, server_->port());
        stalled.write("GET /live.json HTTP/1.1\r\nHost: 12");
        QTRY_VERIFY(stalled.bytesToWrite() == 0);

        QCOMPARE(get(server_->port(), "GET", "/live.json").body, kLive);
        QCOMPARE(stalled.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(stalled.bytesAvailable(), qint64(0));

        stalled.write("7.0.0.1\r\n\r\n");
        QCOMPARE(readReply(stalled).body, kLive);
    }

    void dropsAnOversizedRequest()
    {
        QTcpSocket flood;
        flood.connectToHost(QHostAddress::LocalHost, server_->port());
        flood.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Fill: " +
                    QByteArray(LiveViewServer::kMaxRequestBytes, 'a'));
        QTRY_COMPARE_WITH_TIMEOUT(flood.state(), QAbstractSocket::UnconnectedState, 10000);
        QCOMPARE(flood.bytesAvailable(), qint64(0));
        QCOMPARE(get(server_->port(), "GET", "/live.json").body, kLive);
    }

    // One connection beyond the limit is closed at once; the others stay.
    void keepsToTheClientLimit()
    {
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 0; i <= LiveViewServer::kMaxClients; ++i) {
            clients.push_back(std::make_unique<QTcpSocket>());
            clients.back()->connectToHost(QHostAddress::LocalHost, server_->port());
        }
        const auto closed = [&] {
            return std::count_if(clients.begin(), clients.end(), [](const std::unique_ptr<QTcpSocket>& c) {
                return c->state() == QAbstractSocket::UnconnectedState;
            });
        };
        QTRY_COMPARE(closed(), 1);
        QTcpSocket* kept = std::find_if(clients.begin(), clients.end(), [](const std::unique_ptr<QTcpSocket>& c) {
                               return c->state() == QAbstractSocket::ConnectedState;
                           })->get();
        kept->write("GET /live.json HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        QCOMPARE(readReply(*kept).body, kLive);
        QCOMPARE(closed(), 1);
        // A place set free is taken again.
        kept->disconnectFromHost();
        QTRY_COMPARE(kept->state(), QAbstractSocket::UnconnectedState);
        QTest::qWait(50);  // the server sees the end
        QCOMPARE(get(server_->port(), "GET", "/live.json").body, kLive);
    }

    void saysWhyAPortInUseCannotBeServed()
    {
        LiveViewServer second(folder_->path());
        QCOMPARE(second.start(QStringLiteral("127.0.0.1"), server_->port()),
                 QStringLiteral("127.0.0.1:%1 cannot be served (The bound address is already in use)")
                     .arg(server_->port()));
        QCOMPARE(second.start(QStringLiteral("counting-room"), 8642),
                 QStringLiteral("'counting-room' is not an IP address"));
    }

private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<LiveViewServer> server_;
};

QTEST_GUILESS_MAIN(LiveViewServerTest)
#include "LiveViewServerTest.moc"
