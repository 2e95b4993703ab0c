// SPDX-License-Identifier: MIT
// Failing to reach a device server, and a server that says more than data: the real window on
// real timers and the line the program uses, against ser2net, a port where nothing listens, one
// that never answers, and a server of the test's own making. Bounds are generous: a busy machine
// must not fail these.
#include "child_process.h"
#include "manual_clock.h"
#include "network_panel.h"
#include "pseudo_terminal.h"

#include "line/network_line.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kWait = 10000;
constexpr double kIdleCpuSeconds = 0.5;

using Accepter = Ser2netProcess::Accepter;

// A listener whose queue is full: a new connection's first packet is dropped unanswered, as on
// a network where the server is gone.
struct SilentListener
{
    int listener = -1, filler = -1;
    quint16 port = 0;
    SilentListener()
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::bind(listener, reinterpret_cast<sockaddr *>(&a), len) != 0 ||
            ::listen(listener, 0) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            return;
        filler = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(filler, reinterpret_cast<sockaddr *>(&a), len) == 0)
            port = ntohs(a.sin_port);
    }
    ~SilentListener()
    {
        ::close(filler);
        ::close(listener);
    }
};

} // namespace

class NetworkFaultsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cannotConnect_data();
    void cannotConnect();
    void noAnswerWithinThreeSeconds_data();
    void noAnswerWithinThreeSeconds();
    void serverChatterDoesNotDisturbData();
    void speedWhileConnecting();
    void socketOptions();
};

void NetworkFaultsTest::initTestCase()
{
    if (!Ser2netProcess::available())
        QFAIL("ser2net is not installed (scripts/install-deps installs it)");
}

void NetworkFaultsTest::cannotConnect_data()
{
    QTest::addColumn<QString>("device"); // "ser2net": a server whose own device is missing
    QTest::addColumn<QStringList>("wording");
    const QString refused = QStringLiteral("rfc2217://127.0.0.1:%1").arg(freeLoopbackPort());
    QTest::newRow("nothing listens")
        << refused << QStringList{refused, "127.0.0.1 port", "refused"};
    QTest::newRow("the server cannot open its serial port")
        << "ser2net" << QStringList{"hung up", "Device open failure"};
    QTest::newRow("another client has the port")
        << "ser2net busy" << QStringList{"hung up", "Port already in use"};
    // A name no resolver could know: refused by the lookup itself, without asking any server.
    QTest::newRow("unknown host") << "rfc2217://odra..invalid:2000"
                                  << QStringList{"odra..invalid port 2000", "not found"};
    QTest::newRow("unknown kind") << "tcp://127.0.0.1:4000"
                                  << QStringList{"tcp://127.0.0.1:4000", "rfc2217://HOST:PORT"};
    QTest::newRow("no port") << "socket://127.0.0.1" << QStringList{"port is missing"};
    QTest::newRow("port out of range")
        << "rfc2217://127.0.0.1:70000" << QStringList{"from 1 to 65535"};
}

void NetworkFaultsTest::cannotConnect()
{
    QFETCH(QString, device);
    QFETCH(QStringList, wording);
    Ser2netProcess server;
    PseudoTerminal pty;
    QTcpSocket otherClient;
    if (device == "ser2net") {
        QVERIFY(server.start(QStringLiteral("/dev/odra-nowhere"), Accepter::Rfc2217));
        device = server.url();
    } else if (device == "ser2net busy") {
        QVERIFY(server.start(pty.devicePath(), Accepter::Rfc2217));
        otherClient.connectToHost(QHostAddress::LocalHost, server.port());
        QTRY_VERIFY_WITH_TIMEOUT(otherClient.bytesAvailable() > 0, kWait); // it has the port
        device = server.url();
    }
    NetworkPanel panel(device);
    QTRY_COMPARE_WITH_TIMEOUT(panel.warnings.size(), 1, kWait);
    for (const QString &words : wording)
        QVERIFY2(panel.warnings[0].contains(words), qPrintable(panel.warnings[0]));
    QVERIFY(panel.window->isVisible());
    QVERIFY(!panel.session->portOpen());
    panel.click("power-on");
    QCOMPARE(panel.statusLine(), " COM1 not open");
    const double cpu = cpuInQuietSecond();
    QVERIFY2(cpu < kIdleCpuSeconds, qPrintable(QStringLiteral("%1 s of CPU in 1 s").arg(cpu)));
    QCOMPARE(panel.warnings.size(), 1);
}

void NetworkFaultsTest::noAnswerWithinThreeSeconds_data()
{
    QTest::addColumn<bool>("accepts"); // the connection is taken, then nothing is said
    QTest::addColumn<QString>("wording");
    QTest::newRow("no answer to the connection") << false << "no answer within 3 s";
    QTest::newRow("no answer to the negotiation") << true << "did not answer the RFC 2217";
}

// Exactly three seconds on the line's own clock, whether the server never takes the connection or
// takes it and says nothing; then one report, the line closed.
void NetworkFaultsTest::noAnswerWithinThreeSeconds()
{
    QFETCH(bool, accepts);
    QFETCH(QString, wording);
    SilentListener silent;
    QTcpServer mute;
    quint16 port = silent.port;
    if (accepts) {
        QVERIFY(mute.listen(QHostAddress::LocalHost, 0));
        port = mute.serverPort();
    }
    QVERIFY(port != 0);
    ManualClock clock;
    NetworkLine line(clock);
    QSignalSpy failed(&line, &Line::openFailed);
    QVERIFY(line.open(QStringLiteral("rfc2217://127.0.0.1:%1").arg(port), {}));
    if (accepts)
        QTRY_VERIFY_WITH_TIMEOUT(mute.hasPendingConnections(), kWait);
    else
        QTest::qWait(100);
    clock.advance(NetworkLine::kConnectTimeoutMs - 1);
    QTest::qWait(50);
    QVERIFY(failed.isEmpty() && line.isConnecting());
    clock.advance(1);
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, kWait);
    QVERIFY(!line.isConnecting() && !line.isOpen());
    QVERIFY2(line.failureDetail().contains(wording), qPrintable(line.failureDetail()));
    clock.advance(10 * NetworkLine::kConnectTimeoutMs);
    QTest::qWait(50);
    QCOMPARE(failed.size(), 1);
}

// A device server of the test's own making, for what ser2net will not send on demand: its
// notices, odd commands and escaped bytes between the data.
void NetworkFaultsTest::serverChatterDoesNotDisturbData()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    NetworkPanel panel(QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.serverPort()));
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), kWait);
    QTcpSocket *peer = server.nextPendingConnection();
    QByteArray heard;
    auto hear = [&](qsizetype n) {
        QTRY_VERIFY_WITH_TIMEOUT(heard.size() >= n || (heard += peer->readAll()).size() >= n,
                                 kWait);
    };
    // The panel's offers, then (agreed in pieces, among a refused request of the server's) its
    // settings; the line opens at the answer to the speed.
    hear(15);
    QCOMPARE(heard.left(15), QByteArray::fromHex("fffb00fffd00fffb03fffd03fffb2c"));
    heard.remove(0, 15);
    peer->write(QByteArray::fromHex("fffd00fffb00fffd"));
    peer->flush();
    QTest::qWait(50);
    peer->write(QByteArray::fromHex("03fffb03fffd2cfffd18"));
    hear(3 + 10 + 4 * 7);
    QCOMPARE(heard.left(3), QByteArray::fromHex("fffc18")); // terminal type: refused
    QVERIFY(heard.mid(3).startsWith(QByteArray::fromHex("fffa2c0100004b00fff0")));
    QVERIFY(!panel.session->portOpen());
    peer->write(QByteArray::fromHex("fffa2c6500004b00fff0"));
    QTRY_VERIFY_WITH_TIMEOUT(panel.session->portOpen(), kWait);

    // A reply with notices, no-ops and another option's news in it, split anyhow.
    heard.clear();
    panel.click("status");
    hear(4);
    QCOMPARE(heard, QByteArray("CR0\r"));
    peer->write(QByteArray::fromHex("38fffa2c6b30fff0fff1"));
    peer->flush();
    QTest::qWait(20);
    peer->write(QByteArray::fromHex("fffa2c6aff"));
    peer->flush();
    QTest::qWait(20);
    peer->write(QByteArray::fromHex("fffff0fffa18010203fff030fff90d"));
    QTRY_COMPARE_WITH_TIMEOUT(panel.statusLine(), QString(" Stand by"), kWait);
    QCOMPARE(panel.arrived, QByteArray("80\r"));
    QVERIFY(panel.warnings.isEmpty());
}

// A server that tells its speed before it is asked, and a speed chosen while the panel's
// settings are on their way: neither opens the line at a speed nobody chose.
void NetworkFaultsTest::speedWhileConnecting()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    NetworkPanel panel(QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.serverPort()));
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), kWait);
    QTcpSocket *peer = server.nextPendingConnection();
    QByteArray heard;
    auto hear = [&](qsizetype n) {
        QTRY_VERIFY_WITH_TIMEOUT(heard.size() >= n || (heard += peer->readAll()).size() >= n,
                                 kWait);
    };
    const qsizetype offers = 15, settings = 10 + 4 * 7;
    hear(offers);
    heard.remove(0, offers);
    // Everything agreed, and the far port's speed told unasked in the same breath.
    peer->write(QByteArray::fromHex("fffd00fffb00fffd03fffb03fffd2cfffa2c6500004b00fff0"));
    hear(settings);
    QVERIFY(heard.startsWith(QByteArray::fromHex("fffa2c0100004b00fff0")));
    heard.remove(0, settings);
    QVERIFY(!panel.session->portOpen());

    panel.choose("speed-9600");
    hear(settings);
    QVERIFY(heard.startsWith(QByteArray::fromHex("fffa2c0100002580fff0")));
    QVERIFY(!panel.session->portOpen());
    peer->write(QByteArray::fromHex("fffa2c6500004b00fff0fffa2c6500002580fff0"));
    QTRY_VERIFY_WITH_TIMEOUT(panel.session->portOpen(), kWait);
    QVERIFY(panel.warnings.isEmpty());
}

void NetworkFaultsTest::socketOptions()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const auto scheduler = makeEventLoopScheduler();
    NetworkLine line(*scheduler);
    // By name: looked up away from the event loop.
    QVERIFY(line.open(QStringLiteral("socket://localhost:%1").arg(server.serverPort()), {}));
    QVERIFY(line.isConnecting() && !line.isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(line.isOpen(), kWait);
    const int fd = int(line.socketDescriptor());
    auto option = [fd](int level, int name) {
        int value = -1;
        socklen_t len = sizeof value;
        return ::getsockopt(fd, level, name, &value, &len) == 0 ? value : -1;
    };
    QCOMPARE(option(IPPROTO_TCP, TCP_NODELAY), 1);
    QCOMPARE(option(SOL_SOCKET, SO_KEEPALIVE), 1);
    // A server gone silent is given up after about 30 s.
    const int idle = option(IPPROTO_TCP, TCP_KEEPIDLE);
    const int interval = option(IPPROTO_TCP, TCP_KEEPINTVL);
    const int count = option(IPPROTO_TCP, TCP_KEEPCNT);
    QVERIFY(idle > 0 && interval > 0 && count > 0);
    QVERIFY2(idle + interval * count <= 30, qPrintable(QString::number(idle + interval * count)));
    QCOMPARE(option(IPPROTO_TCP, TCP_USER_TIMEOUT), 30000);

    // A burst larger than the kernel takes at once, the far end reading only later, arrives
    // whole and in order; and what comes back is read.
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), kWait);
    QTcpSocket *peer = server.nextPendingConnection();
    QByteArray bulk(8 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < bulk.size(); ++i)
        bulk[i] = char(i ^ (i >> 12));
    QVERIFY(line.write(bulk));
    QByteArray heard;
    QTRY_VERIFY_WITH_TIMEOUT((heard += peer->readAll()).size() >= bulk.size(), kWait);
    QVERIFY(heard == bulk);
    peer->write("80\r");
    QByteArray back;
    QTRY_COMPARE_WITH_TIMEOUT(back += line.readAll(), QByteArray("80\r"), kWait);
}

QTEST_MAIN(NetworkFaultsTest)
#include "tst_network_faults.moc"
