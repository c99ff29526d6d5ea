// Services of the operating system that a local calculation needs, each small and on its
// own: where the module is, the priority of its process, the lock that allows one
// calculation per working folder, the screen saver, the working directory, and the user's
// decimal separator.
#pragma once

#include <QDBusConnection>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace calcctl {

// The module: the given path when set, else "kq4calc" next to the running program, else on
// PATH. Empty when none is found.
QString locateModule(const QString& configured = {});

enum class Priority { Low, Normal, High };

// Called in the child between fork and exec: idle is nice 19; high is the lowest nice value
// the user may set (root: -20), and when none below the current one is allowed the child
// simply keeps the normal priority.
void applyPriorityInChild(Priority p) noexcept;

// The named lock "KQ4Call", one per working folder: it guards the files that a calculation
// writes and reads there, so runs in different folders go side by side and a second run in
// the same folder is refused. A lock file per user and folder in the runtime directory (or
// the given directory), named after the folder's canonical path. A lock left behind by a
// process that no longer runs is taken over; a running calculation's lock never goes stale by
// age, however long it runs.
class CalcLock {
public:
    CalcLock(const QString& directory, const QString& workDir);
    ~CalcLock();
    CalcLock(const CalcLock&) = delete;
    CalcLock& operator=(const CalcLock&) = delete;

    // False when another calculation holds the lock.
    [[nodiscard]] bool tryLock();
    void unlock();
    bool held() const { return held_; }
    QString path() const { return path_; }

    static QString defaultDirectory();

private:
    QString path_;
    std::unique_ptr<QLockFile> file_;
    bool held_ = false;
};

// Keeps the desktop's screen saver off while a calculation runs, through the screen-saver
// service of the session bus. Without such a service nothing happens. The calls do not wait:
// the answer arrives on the event loop.
class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    explicit ScreenSaverInhibitor(QDBusConnection bus = QDBusConnection::sessionBus());
    ~ScreenSaverInhibitor() override;

    // Asks the service; inhibited is emitted when it has agreed.
    void inhibit(const QString& reason);
    void release();
    bool active() const { return cookie_.has_value(); }

signals:
    void inhibited();

private:
    QDBusConnection bus_;
    std::optional<quint32> cookie_;
    bool wanted_ = false;
};

inline constexpr const char* kScreenSaverService = "org.freedesktop.ScreenSaver";
inline constexpr const char* kScreenSaverPath = "/org/freedesktop/ScreenSaver";

// The directory the calculation runs in: the configured one (default: the current directory
// of the process) when it can be written to, else a directory of the user's own.
struct WorkDir {
    QString path; // empty when no directory at all can be written
    bool fallback = false;
    QString statusText; // says where the calculation runs when it is not the wanted directory
};
WorkDir resolveWorkDir(const QString& wanted);

// The decimal separator of the user's locale for numbers the windows show ("." when it is not
// a single ASCII character).
char localeDecimalSeparator();

} // namespace calcctl
