// A line client over TCP that keeps reconnecting while a connection is
// wanted. The viewer link is built on it.
#pragma once

#include "control/linereader.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QTcpSocket;

class TcpClient : public QObject
{
    Q_OBJECT

public:
    TcpClient(const QString& host, quint16 port, QObject* parent = nullptr);
    ~TcpClient() override;

    QString hostName() const { return host; }
    quint16 portNo() const { return port; }
    bool isLinkWanted() const { return linkWanted; }
    bool isLinked() const { return isConnected; }
    // Received bytes not yet forming a line; never more than one line's limit.
    qsizetype rxPending() const { return rxBuffer.pending(); }

    // The reconnect interval; 1000 ms unless a test shortens it.
    void setReconnectInterval(int ms) { reconnectTimer.setInterval(ms); }

signals:
    void statChanged();
    void receiveAnMsg(QByteArray msg);

public slots:
    void doConnect();
    void doDisconnect();
    void send(QString msg);

private slots:
    void connected();
    void disconnected();
    void tryReconnect();
    void readyRead();
    void socketError();

private:
    void startConnecting();

    QTcpSocket* socket;
    QString host;
    quint16 port;
    bool linkWanted = false;
    bool isConnected = false;
    bool errorReported = false; // one line per run of failed attempts
    QTimer reconnectTimer;
    LineReader rxBuffer;
};
