#include "calcctl/platform.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace calcctl {

QString locateModule(const QString& configured) {
    if (!configured.isEmpty()) {
        const QFileInfo f(configured);
        return f.isFile() && f.isExecutable() ? f.absoluteFilePath() : QString();
    }
    if (QCoreApplication::instance() != nullptr) {
        const QFileInfo beside(QCoreApplication::applicationDirPath() + "/kq4calc");
        if (beside.isFile() && beside.isExecutable()) return beside.absoluteFilePath();
    }
    return QStandardPaths::findExecutable("kq4calc");
}

void applyPriorityInChild(Priority p) noexcept {
    // Only system calls here: the child runs between fork and exec.
    switch (p) {
    case Priority::Normal:
        return;
    case Priority::Low:
        (void)setpriority(PRIO_PROCESS, 0, 19);
        return;
    case Priority::High: {
        errno = 0;
        const int current = getpriority(PRIO_PROCESS, 0);
        if (errno != 0) return;
        for (int nice = -20; nice < current; ++nice)
            if (setpriority(PRIO_PROCESS, 0, nice) == 0) return;
        return;
    }
    }
}

// ---- CalcLock ----

QString CalcLock::defaultDirectory() {
    // The runtime directory belongs to the user alone; without one a directory per user in
    // the temporary directory takes its place.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime;
    const QString dir = QDir::tempPath() + "/tervana-" + QString::number(getuid());
    if (QDir().mkpath(dir))
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return dir;
}

CalcLock::CalcLock(const QString& directory, const QString& workDir) {
    const QString dir = directory.isEmpty() ? defaultDirectory() : directory;
    QDir().mkpath(dir);
    // The same folder reached by another path (a symbolic link, "..") gives the same name.
    const QFileInfo work(workDir);
    const QString canonical = work.canonicalFilePath();
    const QByteArray key = (canonical.isEmpty() ? work.absoluteFilePath() : canonical).toUtf8();
    path_ = dir + "/KQ4Call-" +
            QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex()) +
            ".lock";
}

CalcLock::~CalcLock() {
    unlock();
}

bool CalcLock::tryLock() {
    if (held_) return true;
    file_ = std::make_unique<QLockFile>(path_);
    // Age alone never makes the lock stale: calculations run for hours. A lock whose process
    // has gone is recognised by QLockFile itself and taken over.
    file_->setStaleLockTime(0);
    held_ = file_->tryLock(0);
    if (!held_) file_.reset();
    return held_;
}

void CalcLock::unlock() {
    if (held_ && file_) file_->unlock();
    file_.reset();
    held_ = false;
}

// ---- ScreenSaverInhibitor ----

ScreenSaverInhibitor::ScreenSaverInhibitor(QDBusConnection bus) : bus_(std::move(bus)) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    release();
}

namespace {

QDBusMessage saverCall(const char* method) {
    return QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                          kScreenSaverService, QString::fromLatin1(method));
}

} // namespace

void ScreenSaverInhibitor::inhibit(const QString& reason) {
    if (wanted_ || !bus_.isConnected()) return;
    wanted_ = true;
    QDBusMessage call = saverCall("Inhibit");
    const QString app = QCoreApplication::instance() != nullptr
                            ? QCoreApplication::applicationName()
                            : QStringLiteral("tervana");
    call << app << reason;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<quint32> reply = *w;
        w->deleteLater();
        if (reply.isError()) return; // no such service: nothing to do
        cookie_ = reply.value();
        if (!wanted_) {
            release(); // the run ended before the answer came
            return;
        }
        emit inhibited();
    });
}

void ScreenSaverInhibitor::release() {
    wanted_ = false;
    if (!cookie_) return;
    QDBusMessage call = saverCall("UnInhibit");
    call << *cookie_;
    cookie_.reset();
    bus_.send(call);
}

// ---- working directory ----

namespace {

bool canWriteIn(const QString& dir) {
    if (!QDir().mkpath(dir)) return false;
    QTemporaryFile probe(dir + "/.tervana-probe-XXXXXX");
    return probe.open();
}

} // namespace

WorkDir resolveWorkDir(const QString& wanted) {
    const QString dir = wanted.isEmpty() ? QDir::currentPath() : wanted;
    if (canWriteIn(dir)) return {QFileInfo(dir).absoluteFilePath(), false, {}};
    const QString own =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/calc";
    if (!own.startsWith('/') || !canWriteIn(own)) return {};
    return {own, true,
            "Das Arbeitsverzeichnis " + dir + " ist nicht beschreibbar; die Berechnung läuft in " +
                own + "."};
}

char localeDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point.at(0).unicode() < 128
               ? static_cast<char>(point.at(0).unicode())
               : '.';
}

} // namespace calcctl
