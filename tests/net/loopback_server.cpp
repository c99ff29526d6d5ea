#include "tests/net/test_servers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace nettest {

quint16 freePort(const QHostAddress& address) {
    QTcpServer server;
    if (!server.listen(address, 0)) return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

LoopbackServer::LoopbackServer() {
    if (!dir_.isValid()) error_ = QStringLiteral("no temporary folder: ") + dir_.errorString();
}

LoopbackServer::~LoopbackServer() {
    // The shells of open sessions get a hangup when the server's terminals close.
    if (proc_ && proc_->state() != QProcess::NotRunning) {
        proc_->kill();
        proc_->waitForFinished(5000);
    }
}

bool LoopbackServer::launch(const QString& program, const QStringList& args,
                            const QString& logFile) {
    if (!error_.isEmpty()) return false;
    if (port_ == 0) {
        error_ = QStringLiteral("no free port on ") + address_.toString();
        return false;
    }
    proc_ = std::make_unique<QProcess>();
    if (logFile.isEmpty()) {
        proc_->setProcessChannelMode(QProcess::MergedChannels);
    } else {
        proc_->setStandardOutputFile(logFile);
        proc_->setStandardErrorFile(logFile, QIODevice::Append);
    }
    proc_->start(program, args);
    if (!proc_->waitForStarted(5000)) {
        error_ = program + QStringLiteral(" does not start: ") + proc_->errorString();
        return false;
    }
    auto output = [&] {
        if (logFile.isEmpty()) return QString::fromLocal8Bit(proc_->readAll()).trimmed();
        QFile f(logFile);
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()).trimmed()
                                           : QString();
    };
    // Ready when the port takes connections; a server that cannot start ends instead.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (proc_->state() != QProcess::Running || proc_->waitForFinished(0)) {
            error_ = program + QStringLiteral(" ended: ") + output();
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(address_, port_);
        if (probe.waitForConnected(200)) {
            probe.abort();
            return true;
        }
        QThread::msleep(50);
    }
    error_ = program + QStringLiteral(" does not listen on port %1: ").arg(port_) + output();
    return false;
}

} // namespace nettest
