// The remote run: the module on another computer instead of a local process. Over FTP and
// telnet the input is sent by FTP, the module started in a scripted telnet login, the status
// file polled for by FTP and the results fetched; over SSH the same through SFTP and a command
// channel. A state machine on the event loop: the blocking FTP and SSH operations run one at
// a time on a worker thread, the telnet dialogue follows its notifications, and a timer ticks
// every second for the display, the time-out and the polling.
#pragma once

#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "calcctl/runner.h"
#include "net/remote_settings.h"

namespace net {

class TFtpSession;
class SshSession;
class TTelnetScript;

inline constexpr const char* kTextUploadStarted = "Filetransfer zum Host gestartet ...";
inline constexpr const char* kTextUploadDone = "... Filetransfer zum Host beendet";
inline constexpr const char* kTextCommandStarted = "Berechnung gestartet, warten auf Abschluß ...";
inline constexpr const char* kTextCommandDone = "... Berechnung abgeschlossen";
inline constexpr const char* kTextDownloadStarted = "Filetransfer vom Host gestartet ...";
inline constexpr const char* kTextDownloadDone = "... Filetransfer vom Host beendet";

// The status file as polled for, kept under this name until every result has been fetched.
inline constexpr const char* kFetchedStatusFile = "kq4.err.fetched";

class RemoteRunner : public calcctl::ModuleRunner {
    Q_OBJECT
public:
    explicit RemoteRunner(RemoteSettings settings, QObject* parent = nullptr);
    ~RemoteRunner() override;

    void start(const calcctl::RunRequest& request) override;
    void cancel() override;

    // Asked on the event loop when the SSH host's key is not yet known: true trusts it and adds
    // it to known_hosts. Unset: an unknown key is refused.
    std::function<bool(const QString& host, const QString& fingerprint)> acceptHostKey;

    const RemoteSettings& settings() const { return settings_; }
    // Elapsed and maximum time, "0h 2m 5s von 0h 20m 0s".
    QString timeText(int seconds) const;

signals:
    // Once a second: the elapsed seconds and "0h 2m 5s von 0h 20m 0s".
    void tick(int seconds, const QString& timeText);

private:
    enum class Stage { Idle, Connect, Upload, Clean, Command, WaitStatus, Download, Done };
    enum class Outcome { Ok, NotFound, Failed, Unknown, Changed };
    // The outcome of an FTP or SSH file operation.
    template <typename Result> static Outcome outcomeOf(Result r) {
        return r == Result::Ok         ? Outcome::Ok
               : r == Result::NotFound ? Outcome::NotFound
                                       : Outcome::Failed;
    }

    void log(const QString& line, bool detail = false);
    void logReceived(const QString& text);
    // A line of the FTP or SSH log, from the worker thread.
    void logFromWorker(const std::string& line);
    void onTick();
    void fail(int code, const QString& why = {});
    void end(int code);
    // Runs work on the worker thread; done gets its outcome on the event loop.
    void runJob(std::function<Outcome()> work, std::function<void(Outcome)> done);
    void joinWorker();

    void upload();
    void clean();
    void runCommand();
    void runTelnet();
    void onPrompt();
    void waitForStatus();
    void poll();
    void download();
    void connectSsh();
    QString local(const QString& name) const;
    std::vector<QString> staleFiles() const;

    RemoteSettings settings_;
    calcctl::RunRequest request_;
    Stage stage_ = Stage::Idle;
    bool ended_ = false;
    bool statusFound_ = false;
    bool jobRunning_ = false;
    int seconds_ = 0;
    int prompts_ = 0;
    QString received_; // telnet text not yet logged (no line end yet)
    QTimer timer_;
    std::atomic<bool> abort_{false};
    std::thread worker_;
    std::unique_ptr<TFtpSession> ftp_;
    std::unique_ptr<SshSession> ssh_;
    std::unique_ptr<TTelnetScript> telnet_;
    bool sshCommandRunning_ = false;
};

} // namespace net
