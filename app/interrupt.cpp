#include "app/interrupt.h"

#include <QDebug>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalFds[2] = {-1, -1};
volatile std::sig_atomic_t hits = 0;

// Async-signal-safe only: a byte down the socket, or the default action.
extern "C" void onSignal(int signo)
{
    if (hits++ > 0) {
        std::signal(signo, SIG_DFL);
        std::raise(signo);
        return;
    }
    const unsigned char b = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(signalFds[0], &b, 1);
}

} // namespace

InterruptWatcher::InterruptWatcher(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalFds) != 0) {
        qDebug().noquote() << QStringLiteral("Can't watch for interrupts: no socket pair");
        return;
    }
    for (int fd : signalFds)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    hits = 0;
    notifier = new QSocketNotifier(signalFds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &InterruptWatcher::readSignal);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

InterruptWatcher::~InterruptWatcher()
{
    if (!notifier)
        return;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    delete notifier;
    for (int& fd : signalFds) {
        ::close(fd);
        fd = -1;
    }
}

void InterruptWatcher::readSignal()
{
    unsigned char b = 0;
    if (::read(signalFds[1], &b, 1) == 1)
        emit interrupted(int(b));
}
