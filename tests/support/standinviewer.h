// A stand-in for the XAFS viewer on a local port. Header-only: it needs Qt
// Network, which the support library does not link.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// Records every line it gets; while `answer` is on, it reports each request
// busy and then free, naming it in lower case as a sloppy peer might.
struct StandInViewer : QObject {
    StandInViewer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            peer = server.nextPendingConnection();
            ++connections;
            connect(peer, &QTcpSocket::readyRead, this, [this, s = peer.data()] { read(s); });
        });
    }
    void say(const QByteArray& bytes) { peer->write(bytes), peer->flush(); }

    QTcpServer server;
    QPointer<QTcpSocket> peer;
    QStringList got;
    bool answer = true;
    int connections = 0;

private:
    void read(QTcpSocket* s)
    {
        while (s->canReadLine()) {
            got << QString::fromLatin1(s->readLine()).chopped(1);
            const QByteArray word = got.last().section(' ', 0, 0).toLatin1();
            if (answer && (word.endsWith("_2DA") || word.startsWith("LOAD_")))
                say("ISBUSY 1\nISBUSY 0 " + word.toLower() + "\n");
        }
    }
};
