// An FTP session on libcurl for the remote calculation: log in, change to the host folder,
// send, fetch and delete files, in ASCII mode. The operations block (each within its
// time-outs) and are meant for a worker thread; an abort flag set from another thread ends the
// operation under way within a fraction of a second. No Qt.
//
// The password goes to libcurl as an option, never into a URL, and every occurrence of it is
// masked with "#" in the texts handed to the log.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/limits.h"

namespace net {

struct FtpConfig {
    std::string host; // name or address, no port
    int port = 21;    // "ftp"
    std::string user;
    std::string password;
    std::string directory; // host folder; empty: the login folder
    long connectTimeoutSeconds = 30;
    long transferTimeoutSeconds = 30;            // no progress for this long ends a transfer
    std::uint64_t maxFileBytes = kMaxFetchBytes; // a longer file is not fetched
};

enum class FtpResult {
    Ok,
    NotFound, // RETR/STOR refused, or DELE of a file that does not exist; the session is fine
    Failed,   // connection, login, folder, time-out, a refused DELE, too large, local file, abort
};

class TFtpSession {
public:
    explicit TFtpSession(FtpConfig config);
    ~TFtpSession();
    TFtpSession(const TFtpSession&) = delete;
    TFtpSession& operator=(const TFtpSession&) = delete;

    // Display texts: the commands sent and the replies of the server, one line each, with the
    // password masked. Called on the thread of the operation.
    void setLog(std::function<void(const std::string&)> log);
    // When *abort becomes true, the operation under way ends with Failed.
    void setAbortFlag(const std::atomic<bool>* abort);

    // Opens the control connection, logs in and changes to the host folder (when set).
    [[nodiscard]] FtpResult connect();
    bool connected() const;
    // Sends localPath as remoteName (in the host folder).
    [[nodiscard]] FtpResult put(const std::string& localPath, const std::string& remoteName);
    // Fetches remoteName into localPath: into a temporary file beside it, renamed on success,
    // so localPath is never left partial; on failure localPath is untouched. A file longer
    // than maxFileBytes fails.
    [[nodiscard]] FtpResult get(const std::string& remoteName, const std::string& localPath);
    // Deletes remoteName (DELE). NotFound when there is no such file (asked with MDTM first:
    // servers answer 550 to a DELE that is not allowed as to one of a missing file); a file
    // that stays is Failed.
    [[nodiscard]] FtpResult remove(const std::string& remoteName);
    // Creates the host folder itself (its parent must exist). Failed when it exists already:
    // a run's folder is new, so nothing in it can be left from another run.
    [[nodiscard]] FtpResult makeFolder();
    // Deletes every file in the host folder and then the folder. Failed when it stays.
    [[nodiscard]] FtpResult removeFolder();
    // Ends the session (QUIT) and closes the connection; harmless when not connected.
    void quit();

    // Why the last operation failed, for the log (password masked); empty after success.
    const std::string& lastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// A file name as it goes into an FTP URL path: every byte but unreserved ones
// (A-Z a-z 0-9 - . _ ~) percent-encoded: "remote$.kq4" -> "remote%24.kq4".
std::string ftpEncodeName(std::string_view name);

// text with every occurrence of secret replaced by as many "#" as it has characters (UTF-8
// characters, not bytes). An empty secret changes nothing.
std::string maskSecret(std::string text, std::string_view secret);

} // namespace net
