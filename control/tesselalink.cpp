#include "control/tesselalink.h"

#include <QDebug>

TesselaLink::TesselaLink(const QString& host, quint16 port, QObject* parent) : TcpClient(host, port, parent)
{
    QObject::connect(this, &TcpClient::statChanged, this, &TesselaLink::statChanged);
    QObject::connect(this, &TcpClient::receiveAnMsg, this, &TesselaLink::receiveAnMsg);
}

TesselaLink::~TesselaLink()
{
    // The client's destructor still reports; this part is gone by then.
    QObject::disconnect(this, &TcpClient::statChanged, this, &TesselaLink::statChanged);
    QObject::disconnect(this, &TcpClient::receiveAnMsg, this, &TesselaLink::receiveAnMsg);
}

void TesselaLink::parseEndpoint(const QString& rest, QString* host, quint16* port)
{
    const QStringList items = rest.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!items.isEmpty())
        *host = items[0];
    if (items.size() < 2)
        return;
    bool ok = false;
    const int p = items[1].toInt(&ok);
    if (ok && p > 0 && p <= 65535)
        *port = quint16(p);
    else
        qDebug().noquote() << QStringLiteral("Tessela port is no port number : %1").arg(items[1]);
}

std::optional<IsBusyReply> TesselaLink::parseIsBusy(const QByteArray& line)
{
    const QStringList items = QString::fromUtf8(line).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (items.size() < 2 || items[0].toUpper() != QLatin1String("ISBUSY"))
        return std::nullopt;
    IsBusyReply r;
    r.busy = items[1].toInt() == 1;
    if (!r.busy && items.size() > 2)
        r.finished = items[2].toUpper();
    return r;
}

bool TesselaLink::sendable(const QString& path)
{
    // Blanks separate items, a control character would end or bend the
    // line, and the wire carries Latin-1 only.
    for (const QChar c : path) {
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F || c.unicode() > 0xFF)
            return false;
    }
    return !path.isEmpty();
}

QStringList TesselaLink::sendableOnly(const QStringList& list)
{
    QStringList out;
    for (const QString& f : list) {
        if (sendable(f))
            out << f;
        else
            qDebug().noquote() << QStringLiteral("Not sent to Tessela (blank or character the link cannot carry) : %1").arg(f);
    }
    return out;
}

QString TesselaLink::linkButtonStyle() const
{
    if (isLinked())
        return QStringLiteral("background-color: rgb(211, 255, 241);");
    if (isLinkWanted())
        return QStringLiteral("background-color: rgb(255, 243, 162);");
    return QStringLiteral("background-color: rgb(176, 192, 192);");
}

void TesselaLink::setBusy(bool f)
{
    if (f == isBusy)
        return;
    isBusy = f;
    emit changedIsBusy(isBusy);
}

void TesselaLink::statChanged()
{
    if (isLinked()) {
        send(QStringLiteral("myName Fenu2\n"));
        emit connected();
        setBusy(false);
    } else if (wasConnected) {
        emit lostConnection();
    }
    wasConnected = isLinked();
    setLinkButtonStyle();
}

void TesselaLink::nextStep() {}

void TesselaLink::setLinkButtonStyle()
{
    emit linkButtonStyleUpdated(linkButtonStyle());
}

void TesselaLink::receiveAnMsg(QByteArray msg)
{
    const std::optional<IsBusyReply> r = parseIsBusy(msg);
    if (!r)
        return;
    finished = r->finished;
    setBusy(r->busy);
}

bool TesselaLink::claim()
{
    if (isBusy) {
        statChanged();
        return false;
    }
    if (!isLinked()) {
        qDebug().noquote() << QStringLiteral("Tessela is not linked; request not sent");
        return false;
    }
    setBusy(true);
    return true;
}

void TesselaLink::resetBusy()
{
    finished.clear();
    setBusy(false);
}

void TesselaLink::loadFilesOfPattern(QString path)
{
    if (!sendable(path)) {
        qDebug().noquote() << QStringLiteral("Folder not sent to Tessela (blank or character the link cannot carry) : %1").arg(path);
        return;
    }
    if (claim())
        send(QStringLiteral("%1 new %2 *.dat\n").arg(loadPatternRequest, path));
}

void TesselaLink::loadFiles(QStringList fileList)
{
    fileList = sendableOnly(fileList);
    if (fileList.isEmpty()) {
        statChanged();
        return;
    }
    if (claim())
        send(QStringLiteral("%1 new %2\n").arg(loadFilesRequest, fileList.join(QLatin1Char(' '))));
}

void TesselaLink::exec2dA(QString sliceNo)
{
    if (claim())
        send(QStringLiteral("%1 %2\n").arg(exec2dARequest, sliceNo));
}
