#include "control/tcpclient.h"

#include <QDebug>
#include <QTcpSocket>

namespace {
// Bytes taken from the socket at a time, and at most held by it, so that a
// flooding peer waits in the kernel instead of in our memory.
constexpr qint64 readChunk = 64 * 1024;
constexpr qint64 socketBufferSize = 256 * 1024;
} // namespace

TcpClient::TcpClient(const QString& host, quint16 port, QObject* parent)
    : QObject(parent), socket(new QTcpSocket(this)), host(host), port(port)
{
    socket->setReadBufferSize(socketBufferSize);
    reconnectTimer.setInterval(1000);
    connect(&reconnectTimer, &QTimer::timeout, this, &TcpClient::tryReconnect);
    connect(socket, &QTcpSocket::connected, this, &TcpClient::connected);
    connect(socket, &QTcpSocket::disconnected, this, &TcpClient::disconnected);
    connect(socket, &QTcpSocket::readyRead, this, &TcpClient::readyRead);
    connect(socket, &QTcpSocket::errorOccurred, this, &TcpClient::socketError);
}

TcpClient::~TcpClient()
{
    if (linkWanted) {
        linkWanted = false;
        emit statChanged();
    }
    reconnectTimer.stop();
    socket->disconnect(this);
    if (isConnected)
        socket->close();
}

void TcpClient::startConnecting()
{
    // A second connectToHost on a busy socket only warns.
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void TcpClient::doConnect()
{
    if (!linkWanted) {
        linkWanted = true;
        emit statChanged();
    }
    errorReported = false;
    startConnecting();
    emit statChanged();
}

void TcpClient::doDisconnect()
{
    if (linkWanted) {
        linkWanted = false;
        emit statChanged();
    }
    reconnectTimer.stop();
    if (isConnected)
        socket->close();
    else
        socket->abort(); // an attempt still under way
}

void TcpClient::connected()
{
    reconnectTimer.stop();
    rxBuffer.clear();
    errorReported = false;
    if (!isConnected) {
        isConnected = true;
        emit statChanged();
    }
}

void TcpClient::disconnected()
{
    if (isConnected) {
        isConnected = false;
        emit statChanged();
    }
    if (linkWanted)
        reconnectTimer.start();
}

void TcpClient::tryReconnect()
{
    if (linkWanted && !isConnected) {
        startConnecting();
        return;
    }
    reconnectTimer.stop();
    if (linkWanted)
        rxBuffer.clear();
    else if (isConnected)
        socket->close();
}

void TcpClient::socketError()
{
    // The peer closing the line is no failure; it shows as a state change.
    if (socket->error() == QAbstractSocket::RemoteHostClosedError || errorReported)
        return;
    errorReported = true;
    qDebug().noquote() << QStringLiteral("Link to %1:%2 : %3").arg(host).arg(port).arg(socket->errorString());
}

void TcpClient::readyRead()
{
    while (socket->bytesAvailable() > 0) {
        const QByteArray chunk = socket->read(readChunk);
        if (chunk.isEmpty())
            break;
        for (const QByteArray& line : rxBuffer.feed(chunk)) {
            qDebug().noquote() << QStringLiteral("rec:") + QString::fromUtf8(line);
            if (!line.isEmpty())
                emit receiveAnMsg(line);
        }
    }
}

void TcpClient::send(QString msg)
{
    qDebug().noquote() << QStringLiteral("snd:") + (msg.endsWith(QLatin1Char('\n')) ? msg.chopped(1) : msg);
    if (!isConnected) {
        qDebug().noquote() << QStringLiteral("Link to %1:%2 : not connected, message not sent").arg(host).arg(port);
        return;
    }
    socket->write(msg.toLatin1());
}
