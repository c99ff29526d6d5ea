// An SSH session on libssh for the remote calculation: the host key checked against the
// user's known_hosts, password or key authentication, files by SFTP, and the module's command
// in a channel. The operations block (each within the time-out) and are meant for a worker
// thread; an abort flag set from another thread ends the operation under way within a fraction
// of a second. No Qt.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "net/limits.h"

namespace net {

struct SshConfig {
    std::string host;
    int port = 22;
    std::string user;
    std::string password;       // used when keyAuth is false
    bool keyAuth = false;       // public key: keyFile, else the agent and the default keys
    std::string keyFile;        // private key file; its passphrase is password
    std::string knownHostsFile; // empty: ~/.ssh/known_hosts
    std::string directory;      // host folder for files and command; empty: the login folder
    long timeoutSeconds = 30;
    std::uint64_t maxFileBytes = kMaxFetchBytes; // a longer file is not fetched
};

enum class HostKeyState {
    Known,   // the key is the one known_hosts holds
    Unknown, // no entry for this host (or no known_hosts file): ask the user
    Changed, // another key is known for this host (or another key type): refused
    Failed,  // no connection or no key
};

enum class SshResult { Ok, NotFound, Failed };

// s as one word for the host's shell: in single quotes, a quote inside as '\''.
std::string shellQuote(const std::string& s);

class SshSession {
public:
    explicit SshSession(SshConfig config);
    ~SshSession();
    SshSession(const SshSession&) = delete;
    SshSession& operator=(const SshSession&) = delete;

    void setLog(std::function<void(const std::string&)> log); // password never in it
    void setAbortFlag(const std::atomic<bool>* abort);

    // TCP connection and key exchange, then the host key against known_hosts. Failed says in
    // lastError what failed: the name, the connection, or the key exchange.
    [[nodiscard]] HostKeyState connect();
    // SHA256 fingerprint of the host's key ("SHA256:..."), after connect.
    std::string fingerprint() const;
    // Adds the host's key to known_hosts (after the user accepted an unknown key).
    [[nodiscard]] bool acceptHostKey();
    // Refused (nothing sent) unless the host key is known or was accepted.
    [[nodiscard]] bool authenticate();
    bool connected() const; // connected and authenticated

    // SFTP, names relative to the host folder. get writes a temporary file beside localPath
    // and renames it on success; a file longer than maxFileBytes fails.
    [[nodiscard]] SshResult put(const std::string& localPath, const std::string& remoteName);
    [[nodiscard]] SshResult get(const std::string& remoteName, const std::string& localPath);
    [[nodiscard]] SshResult remove(const std::string& remoteName);
    // Creates the host folder itself (its parent must exist); Failed when it exists already.
    [[nodiscard]] SshResult makeFolder();
    // Deletes every file in the host folder and then the folder; Failed when it stays.
    [[nodiscard]] SshResult removeFolder();

    // Runs command in the host folder ("cd DIR && command") on a pseudo-terminal, so that
    // closing the channel hangs up the module. Output goes to the log line by line.
    [[nodiscard]] bool startCommand(const std::string& command);
    // Waits up to ms for the command to end: 1 when it ended (exitStatus set, -1 for a
    // signal), 0 while it runs, -1 when the channel failed. All output that is there is read
    // (at most a megabyte per call, so a call ends in time whatever the command prints).
    int waitCommand(int ms, int& exitStatus);
    // The last lines the command printed (at most ten, the newest last).
    std::string outputTail() const;
    // Interrupt (Ctrl-C and SIGINT), then close the channel.
    void stopCommand();

    void disconnect();
    // Cuts the connection at once, from any thread: an operation blocked in the library (an
    // SFTP open of a FIFO waits for ever) fails. The session is unusable afterwards.
    void cutConnection();
    const std::string& lastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace net
