// The remote run: the module on another computer instead of a local process. Over FTP and
// telnet the input is sent by FTP, the module started in a scripted telnet login, the status
// file polled for by FTP and the results fetched; over SSH the same through SFTP and a command
// channel. A state machine on the event loop: the blocking FTP and SSH operations run one at
// a time on a worker thread, the telnet dialogue follows its notifications, and a timer ticks
// every second for the display, the time-out and the polling. Nothing blocks the event loop:
// an operation that hangs is left to end on its own thread.
#pragma once

#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "calcctl/runner.h"
#include "net/remote_settings.h"

namespace net {

struct RemoteLink;
class TTelnetScript;

inline constexpr const char* kTextUploadStarted = "Filetransfer zum Host gestartet ...";
inline constexpr const char* kTextUploadDone = "... Filetransfer zum Host beendet";
inline constexpr const char* kTextCommandStarted = "Berechnung gestartet, warten auf Abschluß ...";
inline constexpr const char* kTextCommandDone = "... Berechnung abgeschlossen";
inline constexpr const char* kTextDownloadStarted = "Filetransfer vom Host gestartet ...";
inline constexpr const char* kTextDownloadDone = "... Filetransfer vom Host beendet";

// Every run works in a folder of its own below the host folder, made at its start and removed
// at its end: "kq4run-" and twelve random hexadecimal digits. Two runs into one host folder
// never meet, and nothing a run reads can be left from another.
inline constexpr const char* kRunFolderPrefix = "kq4run-";

class RemoteRunner : public calcctl::ModuleRunner {
    Q_OBJECT
public:
    explicit RemoteRunner(RemoteSettings settings, QObject* parent = nullptr);
    ~RemoteRunner() override;

    void start(const calcctl::RunRequest& request) override;
    void cancel() override;

    // Asked on the event loop when the SSH host's key is not yet known: true trusts it and adds
    // it to known_hosts. Unset: an unknown key is refused. The clock of the run stands still
    // while the question is open; the runner may have ended, or be gone, when it returns.
    std::function<bool(const QString& host, const QString& fingerprint)> acceptHostKey;
    // For tests: called on the worker thread before each of its operations.
    std::function<void()> workerProbe;

    const RemoteSettings& settings() const { return settings_; }
    // Elapsed and maximum time, "0h 2m 5s von 0h 20m 0s".
    QString timeText(int seconds) const;

signals:
    // Once a second: the elapsed seconds and "0h 2m 5s von 0h 20m 0s".
    void tick(int seconds, const QString& timeText);

private:
    enum class Stage { Idle, Connect, Upload, Command, WaitStatus, Download, Done };
    enum class Outcome { Ok, NotFound, Failed, Unknown, Changed };
    // What an operation on the worker thread came to; why: the failure, in words.
    struct Step {
        Outcome outcome = Outcome::Ok;
        QString why;
    };

    void log(const QString& line, bool detail = false);
    void logReceived(const QString& text);
    // The log of the FTP and SSH sessions, called on the worker thread.
    std::function<void(const std::string&)> workerLog();
    void onTick();
    void fail(int code, const QString& why = {});
    void end(int code);
    // Runs work on the worker thread; done gets its step on the event loop, unless the run
    // has ended by then or the step failed (which ends the run with -202 and its words).
    void runJob(std::function<Step()> work, std::function<void(const Step&)> done);

    void upload();
    void runCommand();
    void runTelnet();
    void onPrompt();
    void waitForStatus();
    void poll();
    void download();
    void connectSsh();
    void onHostKey(const Step& step, const QString& host);
    QString local(const QString& name) const;
    // Where a file is fetched to: beside its own name, marked with the run's folder, until
    // every result of the run is here.
    QString fetched(const QString& name) const;
    std::vector<QString> fetchedNames() const;

    RemoteSettings settings_;
    calcctl::RunRequest request_;
    QString runFolder_;
    QString hostFolder_; // the run folder as the sessions name it
    Stage stage_ = Stage::Idle;
    bool ended_ = false;
    bool jobRunning_ = false;
    int seconds_ = 0;
    int prompts_ = 0;
    QString received_; // telnet text not yet logged (no line end yet)
    QTimer timer_;
    std::shared_ptr<RemoteLink> link_; // the sessions and their worker thread
    std::unique_ptr<TTelnetScript> telnet_;
};

// Once a run has ended, its sessions are closed on a thread of their own (the command
// stopped, the run's folder removed, partial files deleted), so that nothing the host does can
// hold up the program. Waits up to ms for all of them; true when none is left.
bool waitForClosedRuns(int ms);

} // namespace net
