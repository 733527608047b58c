// The line protocol of the 2-D XAFS viewer Tessela: which files to load,
// which slice to analyse, and the viewer's busy reports.
#pragma once

#include "control/tcpclient.h"

#include <QStringList>

#include <optional>

struct IsBusyReply {
    bool busy = false;
    QString finished; // upper-cased request name; empty when busy or not told
};

class TesselaLink : public TcpClient
{
    Q_OBJECT

public:
    static constexpr quint16 defaultPort = 6078;
    static inline const QString loadPatternRequest = QStringLiteral("LOAD_I1_FILES_OF_PATTERN");
    static inline const QString loadFilesRequest = QStringLiteral("LOAD_I1_FILES");
    static inline const QString exec2dARequest = QStringLiteral("ANALYZER_EXEC_2DA");

    TesselaLink(const QString& host = QStringLiteral("localhost"), quint16 port = defaultPort,
                QObject* parent = nullptr);
    ~TesselaLink() override;

    // The rest of the configuration line of "Tessela": host, then port.
    // Missing items keep the defaults.
    static void parseEndpoint(const QString& rest, QString* host, quint16* port);

    // Reads a received line; nothing when it is no ISBUSY report.
    static std::optional<IsBusyReply> parseIsBusy(const QByteArray& line);

    // Items are separated by blanks, so a path holding one cannot be told.
    static bool sendable(const QString& path);
    // The sendable paths of list; each one left out is named in one line.
    static QStringList sendableOnly(const QStringList& list);

    bool busy() const { return isBusy; }
    QString lastFinished() const { return finished; }
    // Style sheet of the link button for the present state.
    QString linkButtonStyle() const;

signals:
    void connected();
    void changedIsBusy(bool f);
    // The connection was up and is gone (a reconnect may follow).
    void lostConnection();
    // The link button's style sheet, on every state change.
    void linkButtonStyleUpdated(QString styleSheet);

public slots:
    void receiveAnMsg(QByteArray msg);
    void loadFilesOfPattern(QString path);
    void loadFiles(QStringList fileList);
    void exec2dA(QString sliceNo);
    // The user gives up waiting for the viewer: forget that it is busy.
    void resetBusy();

private slots:
    void statChanged();
    void nextStep();
    void setLinkButtonStyle();

private:
    // False when the request must not go out (busy); the link state is then
    // refreshed as after a new connection.
    bool claim();
    void setBusy(bool f);

    bool isBusy = false;
    bool wasConnected = false;
    QString finished;
};
