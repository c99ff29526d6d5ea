#include "net/ssh_session.h"

#include "net/line_buffer.h"

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace net {

namespace {

using Clock = std::chrono::steady_clock;

// Operations that wait for the host look at the abort flag this often.
constexpr int kSliceMs = 50;
constexpr size_t kChunk = 32 * 1024;
// Command output read by one waitCommand at most, and the lines of it kept for a message.
constexpr size_t kMaxDrain = 1024 * 1024;
constexpr size_t kTailLines = 10;

} // namespace

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

struct SshSession::Impl {
    SshConfig cfg;
    std::function<void(const std::string&)> log;
    const std::atomic<bool>* abort = nullptr;
    ssh_session session = nullptr;
    sftp_session sftp = nullptr;
    ssh_channel channel = nullptr;
    bool authenticated = false;
    bool hostTrusted = false; // the host key is known or the user accepted it
    std::string fingerprint;
    std::string error;
    LineBuffer output;            // the command's output, line by line
    std::deque<std::string> tail; // its last lines
    std::mutex fdMutex;           // fd is -1 before libssh closes the socket
    int fd = -1;

    bool aborted() const { return abort && abort->load(); }

    void say(const std::string& text) const {
        if (log) log(text);
    }

    bool fail(const std::string& text) {
        error = text;
        say(text);
        return false;
    }

    std::string sshError() const {
        return session ? std::string(ssh_get_error(session)) : std::string();
    }

    std::string remotePath(const std::string& name) const {
        if (cfg.directory.empty() || (!name.empty() && name.front() == '/')) return name;
        std::string dir = cfg.directory;
        if (dir.back() != '/') dir += '/';
        return dir + name;
    }

    // Waits up to one slice for the socket to become readable (the host's answer to a step
    // of a non-blocking call).
    void waitSocket() const {
        const socket_t fd = session ? ssh_get_fd(session) : SSH_INVALID_SOCKET;
        if (fd == SSH_INVALID_SOCKET) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return;
        }
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, kSliceMs);
    }

    // Repeats a non-blocking libssh call until it no longer answers `again`, the abort flag is
    // set or the time-out has passed; the last two give `failed`.
    template <class Call> int repeat(Call call, int again, int failed, const char* what) {
        const auto deadline = Clock::now() + std::chrono::seconds(cfg.timeoutSeconds);
        for (;;) {
            const int rc = call();
            if (rc != again) return rc;
            if (aborted()) {
                error = std::string(what) + ": abgebrochen";
                return failed;
            }
            if (Clock::now() > deadline) {
                error = std::string(what) + ": Zeitüberschreitung";
                return failed;
            }
            waitSocket();
        }
    }

    // The TCP connection for the session: the name resolved, each address tried in turn while
    // the abort flag is looked at. The socket (non-blocking, as libssh uses it), or -1 with
    // error saying what failed. The name lookup itself cannot be cut short.
    int openSocket() {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        const std::string service = std::to_string(cfg.port);
        const int found = ::getaddrinfo(cfg.host.c_str(), service.c_str(), &hints, &list);
        if (found != 0) {
            error = found == EAI_NONAME
                        ? std::string("der Hostname ist unbekannt")
                        : std::string("der Hostname ist nicht aufzulösen: ") + gai_strerror(found);
            return -1;
        }
        const auto deadline = Clock::now() + std::chrono::seconds(cfg.timeoutSeconds);
        int result = -1;
        int why = 0;
        for (addrinfo* a = list; a != nullptr && result < 0 && !aborted(); a = a->ai_next) {
            const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                   a->ai_protocol);
            if (s < 0) {
                why = errno;
                continue;
            }
            int err = ::connect(s, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
            while (err == EINPROGRESS) {
                pollfd p{s, POLLOUT, 0};
                if (::poll(&p, 1, kSliceMs) > 0) {
                    socklen_t len = sizeof err;
                    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
                } else if (aborted() || Clock::now() > deadline) {
                    err = ETIMEDOUT;
                }
            }
            if (err == 0) {
                result = s;
            } else {
                why = err;
                ::close(s);
            }
        }
        ::freeaddrinfo(list);
        if (result >= 0) return result;
        if (aborted())
            error = "abgebrochen";
        else if (why == ECONNREFUSED)
            error = "der Host nimmt keine Verbindung an";
        else if (why == ETIMEDOUT)
            error = "der Host antwortet nicht";
        else if (why == ENETUNREACH || why == EHOSTUNREACH)
            error = "der Host ist nicht erreichbar";
        else
            error = std::strerror(why);
        return -1;
    }

    bool openSftp() {
        if (sftp) return true;
        if (!authenticated || !session) return fail("SFTP: keine Verbindung");
        sftp = sftp_new(session);
        if (!sftp) return fail("SFTP: " + sshError());
        if (sftp_init(sftp) != SSH_OK) {
            fail("SFTP: " + sshError());
            sftp_free(sftp);
            sftp = nullptr;
            return false;
        }
        return true;
    }

    // SFTP for an operation on the host folder itself, which must be named.
    bool openFolderSftp() {
        if (cfg.directory.empty()) return fail("Kein Ordner angegeben");
        return openSftp();
    }

    SshResult sftpFailure(const std::string& what, const std::string& path) {
        const int code = sftp ? sftp_get_error(sftp) : -1;
        fail(what + " " + path + ": " + sshError());
        return code == SSH_FX_NO_SUCH_FILE ? SshResult::NotFound : SshResult::Failed;
    }

    void closeChannel() {
        if (!channel) return;
        ssh_channel_close(channel);
        ssh_channel_free(channel);
        channel = nullptr;
        output.clear();
    }

    SshResult tooLarge(const std::string& path) {
        fail("Herunterladen " + path + ": größer als " +
             std::to_string(cfg.maxFileBytes / (1024 * 1024)) + " MB");
        return SshResult::Failed;
    }

    // Passes complete lines of command output to the log (the pseudo-terminal ends them with
    // "\r\n"); flush: the output has ended, the rest goes too.
    void takeOutput(const char* data, size_t n, bool flush) {
        auto say = [this](const std::string& line) {
            tail.push_back(line);
            if (tail.size() > kTailLines) tail.pop_front();
            this->say(line);
        };
        output.add(data, n, say);
        if (flush) output.flush(say);
    }

    void close() {
        closeChannel();
        if (sftp) {
            sftp_free(sftp);
            sftp = nullptr;
        }
        {
            std::lock_guard<std::mutex> lock(fdMutex);
            fd = -1;
        }
        if (session) {
            if (ssh_is_connected(session)) ssh_disconnect(session);
            ssh_free(session);
            session = nullptr;
        }
        authenticated = false;
        hostTrusted = false;
    }
};

SshSession::SshSession(SshConfig config) : d_(std::make_unique<Impl>()) {
    d_->cfg = std::move(config);
}

SshSession::~SshSession() {
    d_->close();
}

void SshSession::setLog(std::function<void(const std::string&)> log) {
    d_->log = std::move(log);
}

void SshSession::setAbortFlag(const std::atomic<bool>* abort) {
    d_->abort = abort;
}

HostKeyState SshSession::connect() {
    Impl& d = *d_;
    d.close();
    d.fingerprint.clear();
    d.error.clear();
    d.session = ssh_new();
    if (!d.session) {
        d.fail("SSH: keine Sitzung");
        return HostKeyState::Failed;
    }
    const unsigned int port = static_cast<unsigned int>(d.cfg.port);
    const long timeout = d.cfg.timeoutSeconds;
    ssh_options_set(d.session, SSH_OPTIONS_HOST, d.cfg.host.c_str());
    ssh_options_set(d.session, SSH_OPTIONS_PORT, &port);
    if (!d.cfg.user.empty()) ssh_options_set(d.session, SSH_OPTIONS_USER, d.cfg.user.c_str());
    ssh_options_set(d.session, SSH_OPTIONS_TIMEOUT, &timeout);
    if (!d.cfg.knownHostsFile.empty())
        ssh_options_set(d.session, SSH_OPTIONS_KNOWNHOSTS, d.cfg.knownHostsFile.c_str());

    const std::string where = d.cfg.host + ":" + std::to_string(d.cfg.port);
    d.say("Verbinde mit " + where);
    const int fd = d.openSocket();
    if (fd < 0) {
        d.fail("Keine Verbindung zu " + where + ": " + d.error);
        d.close();
        return HostKeyState::Failed;
    }
    // libssh takes the socket over and closes it with the session.
    ssh_options_set(d.session, SSH_OPTIONS_FD, &fd);
    {
        std::lock_guard<std::mutex> lock(d.fdMutex);
        d.fd = fd;
    }
    // Non-blocking, so that the abort flag is seen while the host is slow to answer.
    ssh_set_blocking(d.session, 0);
    const int rc =
        d.repeat([&] { return ssh_connect(d.session); }, SSH_AGAIN, SSH_ERROR, "Verbindung");
    ssh_set_blocking(d.session, 1);
    if (rc != SSH_OK) {
        d.fail("Keine SSH-Verbindung zu " + where + ": " +
               (d.error.empty() ? d.sshError() : d.error));
        d.close();
        return HostKeyState::Failed;
    }

    ssh_key key = nullptr;
    if (ssh_get_server_publickey(d.session, &key) != SSH_OK) {
        d.fail("Kein Schlüssel von " + where);
        d.close();
        return HostKeyState::Failed;
    }
    unsigned char* hash = nullptr;
    size_t hashLen = 0;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &hashLen) == 0) {
        char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, hashLen);
        if (text) {
            d.fingerprint = text;
            ssh_string_free_char(text);
        }
        ssh_clean_pubkey_hash(&hash);
    }
    ssh_key_free(key);

    switch (ssh_session_is_known_server(d.session)) {
    case SSH_KNOWN_HOSTS_OK:
        d.hostTrusted = true;
        return HostKeyState::Known;
    case SSH_KNOWN_HOSTS_NOT_FOUND:
    case SSH_KNOWN_HOSTS_UNKNOWN:
        d.say("Unbekannter Schlüssel von " + where + ": " + d.fingerprint);
        return HostKeyState::Unknown;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        d.fail("Der Schlüssel von " + where + " hat sich geändert: " + d.fingerprint);
        return HostKeyState::Changed;
    case SSH_KNOWN_HOSTS_ERROR:
        break;
    }
    d.fail("known_hosts nicht lesbar: " + d.sshError());
    return HostKeyState::Failed;
}

std::string SshSession::fingerprint() const {
    return d_->fingerprint;
}

bool SshSession::acceptHostKey() {
    Impl& d = *d_;
    if (!d.session) return d.fail("Keine Verbindung");
    std::error_code ec;
    if (!d.cfg.knownHostsFile.empty()) {
        const auto dir = std::filesystem::path(d.cfg.knownHostsFile).parent_path();
        if (!dir.empty()) std::filesystem::create_directories(dir, ec);
    } else if (const char* home = std::getenv("HOME")) {
        std::filesystem::create_directories(std::filesystem::path(home) / ".ssh", ec);
    }
    if (ssh_session_update_known_hosts(d.session) != SSH_OK)
        return d.fail("known_hosts nicht geschrieben: " + d.sshError());
    d.say("Schlüssel in known_hosts eingetragen: " + d.fingerprint);
    d.hostTrusted = true;
    return true;
}

bool SshSession::authenticate() {
    Impl& d = *d_;
    if (!d.session) return d.fail("Keine Verbindung");
    // Neither the password nor a key signature goes to a host whose key is not trusted.
    if (!d.hostTrusted) return d.fail("Der Schlüssel des Rechners ist nicht bestätigt");
    const std::string who = d.cfg.user.empty() ? std::string("(Standard)") : d.cfg.user;
    ssh_key key = nullptr;
    if (d.cfg.keyAuth && !d.cfg.keyFile.empty()) {
        const char* pass = d.cfg.password.empty() ? nullptr : d.cfg.password.c_str();
        if (ssh_pki_import_privkey_file(d.cfg.keyFile.c_str(), pass, nullptr, nullptr, &key) !=
            SSH_OK)
            return d.fail("Schlüssel " + d.cfg.keyFile + " nicht lesbar");
    }
    ssh_set_blocking(d.session, 0);
    const int rc = d.repeat(
        [&] {
            if (!d.cfg.keyAuth)
                return ssh_userauth_password(d.session, nullptr, d.cfg.password.c_str());
            if (key) return ssh_userauth_publickey(d.session, nullptr, key);
            return ssh_userauth_publickey_auto(
                d.session, nullptr, d.cfg.password.empty() ? nullptr : d.cfg.password.c_str());
        },
        SSH_AUTH_AGAIN, SSH_AUTH_ERROR, "Anmeldung");
    ssh_set_blocking(d.session, 1);
    ssh_key_free(key);
    if (rc != SSH_AUTH_SUCCESS) {
        d.authenticated = false;
        const std::string why = rc == SSH_AUTH_DENIED    ? "abgewiesen"
                                : rc == SSH_AUTH_PARTIAL ? "weitere Anmeldung verlangt"
                                : !d.error.empty()       ? d.error
                                                         : d.sshError();
        return d.fail("Anmeldung als " + who + " fehlgeschlagen: " + why);
    }
    d.authenticated = true;
    d.say("Angemeldet als " + who);
    return true;
}

bool SshSession::connected() const {
    return d_->authenticated && d_->session && ssh_is_connected(d_->session);
}

SshResult SshSession::put(const std::string& localPath, const std::string& remoteName) {
    Impl& d = *d_;
    if (!d.openSftp()) return SshResult::Failed;
    std::ifstream in(localPath, std::ios::binary);
    if (!in) {
        d.fail("Datei " + localPath + " nicht lesbar");
        return SshResult::Failed;
    }
    const std::string path = d.remotePath(remoteName);
    sftp_file file = sftp_open(d.sftp, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!file) return d.sftpFailure("Hochladen", path);
    std::vector<char> buf(kChunk);
    SshResult result = SshResult::Ok;
    while (in) {
        in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        const auto n = static_cast<size_t>(in.gcount());
        if (n == 0) break;
        if (d.aborted()) {
            d.fail("Hochladen " + path + ": abgebrochen");
            result = SshResult::Failed;
            break;
        }
        if (sftp_write(file, buf.data(), n) != static_cast<ssize_t>(n)) {
            result = d.sftpFailure("Hochladen", path);
            break;
        }
    }
    if (result == SshResult::Ok && in.bad()) {
        d.fail("Datei " + localPath + " nicht lesbar");
        result = SshResult::Failed;
    }
    if (sftp_close(file) != SSH_NO_ERROR && result == SshResult::Ok)
        result = d.sftpFailure("Hochladen", path);
    if (result == SshResult::Ok) d.say("Hochgeladen: " + path);
    return result;
}

SshResult SshSession::get(const std::string& remoteName, const std::string& localPath) {
    Impl& d = *d_;
    if (!d.openSftp()) return SshResult::Failed;
    const std::string path = d.remotePath(remoteName);
    sftp_file file = sftp_open(d.sftp, path.c_str(), O_RDONLY, 0);
    if (!file) return d.sftpFailure("Herunterladen", path);
    const std::string temp = localPath + ".part";
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
        sftp_close(file);
        d.fail("Datei " + temp + " nicht beschreibbar");
        return SshResult::Failed;
    }
    std::vector<char> buf(kChunk);
    SshResult result = SshResult::Ok;
    std::uint64_t total = 0;
    for (;;) {
        if (d.aborted()) {
            d.fail("Herunterladen " + path + ": abgebrochen");
            result = SshResult::Failed;
            break;
        }
        const ssize_t n = sftp_read(file, buf.data(), buf.size());
        if (n < 0) {
            result = d.sftpFailure("Herunterladen", path);
            break;
        }
        if (n == 0) break;
        total += static_cast<std::uint64_t>(n);
        if (total > d.cfg.maxFileBytes) {
            result = d.tooLarge(path);
            break;
        }
        out.write(buf.data(), n);
    }
    sftp_close(file);
    out.close();
    if (result == SshResult::Ok && !out) {
        d.fail("Datei " + temp + " nicht beschreibbar");
        result = SshResult::Failed;
    }
    std::error_code ec;
    if (result == SshResult::Ok) {
        std::filesystem::rename(temp, localPath, ec);
        if (ec) {
            d.fail("Datei " + localPath + " nicht beschreibbar: " + ec.message());
            result = SshResult::Failed;
        }
    }
    if (result != SshResult::Ok)
        std::filesystem::remove(temp, ec);
    else
        d.say("Heruntergeladen: " + path);
    return result;
}

SshResult SshSession::remove(const std::string& remoteName) {
    Impl& d = *d_;
    if (!d.openSftp()) return SshResult::Failed;
    const std::string path = d.remotePath(remoteName);
    if (sftp_unlink(d.sftp, path.c_str()) != SSH_OK) return d.sftpFailure("Löschen", path);
    return SshResult::Ok;
}

SshResult SshSession::makeFolder() {
    Impl& d = *d_;
    if (!d.openFolderSftp()) return SshResult::Failed;
    if (sftp_mkdir(d.sftp, d.cfg.directory.c_str(), 0700) != SSH_OK) {
        d.fail("Ordner " + d.cfg.directory + " anlegen: " + d.sshError());
        return SshResult::Failed;
    }
    return SshResult::Ok;
}

SshResult SshSession::removeFolder() {
    Impl& d = *d_;
    if (!d.openFolderSftp()) return SshResult::Failed;
    const std::string& dir = d.cfg.directory;
    sftp_dir handle = sftp_opendir(d.sftp, dir.c_str());
    if (!handle) return d.sftpFailure("Ordner lesen", dir);
    std::vector<std::string> names;
    while (sftp_attributes a = sftp_readdir(d.sftp, handle)) {
        if (a->name && a->type != SSH_FILEXFER_TYPE_DIRECTORY) names.emplace_back(a->name);
        sftp_attributes_free(a);
    }
    sftp_closedir(handle);
    // Every file is tried; whether all went shows in the rmdir.
    for (const std::string& name : names) (void)sftp_unlink(d.sftp, d.remotePath(name).c_str());
    if (sftp_rmdir(d.sftp, dir.c_str()) != SSH_OK) {
        d.fail("Ordner " + dir + " löschen: " + d.sshError());
        return SshResult::Failed;
    }
    return SshResult::Ok;
}

bool SshSession::startCommand(const std::string& command) {
    Impl& d = *d_;
    if (!d.authenticated || !d.session) return d.fail("Keine Verbindung");
    d.closeChannel();
    d.tail.clear();
    d.channel = ssh_channel_new(d.session);
    if (!d.channel) return d.fail("Kanal: " + d.sshError());
    const std::string line =
        d.cfg.directory.empty() ? command : "cd " + shellQuote(d.cfg.directory) + " && " + command;
    if (ssh_channel_open_session(d.channel) != SSH_OK ||
        ssh_channel_request_pty(d.channel) != SSH_OK ||
        ssh_channel_request_exec(d.channel, line.c_str()) != SSH_OK) {
        const std::string why = d.sshError();
        d.closeChannel();
        return d.fail("Befehl nicht gestartet: " + why);
    }
    d.say("Gestartet: " + line);
    return true;
}

int SshSession::waitCommand(int ms, int& exitStatus) {
    Impl& d = *d_;
    if (!d.channel) {
        d.fail("Kein Befehl läuft");
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    char buf[kChunk];
    size_t drained = 0;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int slice = static_cast<int>(std::clamp<long long>(left, 0, kSliceMs));
        const int avail = ssh_channel_poll_timeout(d.channel, slice, 0);
        if (avail == SSH_ERROR) {
            d.fail("Kanal: " + d.sshError());
            return -1;
        }
        if (avail > 0) {
            const int n = ssh_channel_read_nonblocking(d.channel, buf, sizeof buf, 0);
            if (n == SSH_ERROR) {
                d.fail("Kanal: " + d.sshError());
                return -1;
            }
            d.takeOutput(buf, static_cast<size_t>(n), false);
            // What is there is read at once, not a piece per call.
            drained += static_cast<size_t>(n);
            if (drained < kMaxDrain && !d.aborted()) continue;
            return 0;
        }
        if (avail == SSH_EOF || ssh_channel_is_closed(d.channel)) {
            d.takeOutput(buf, 0, true);
            // The exit status follows the end of the output; -1 if the command died of a signal.
            exitStatus = ssh_channel_get_exit_status(d.channel);
            d.say("Beendet mit Status " + std::to_string(exitStatus));
            d.closeChannel();
            return 1;
        }
        if (d.aborted() || Clock::now() >= deadline) return 0;
    }
}

std::string SshSession::outputTail() const {
    std::string text;
    for (const std::string& line : d_->tail) text += (text.empty() ? "" : "\n") + line;
    return text;
}

void SshSession::stopCommand() {
    Impl& d = *d_;
    if (!d.channel) return;
    if (ssh_channel_is_open(d.channel)) {
        ssh_channel_write(d.channel, "\x03", 1);
        ssh_channel_request_send_signal(d.channel, "INT");
    }
    d.say("Befehl abgebrochen");
    d.closeChannel();
}

void SshSession::disconnect() {
    d_->close();
}

void SshSession::cutConnection() {
    std::lock_guard<std::mutex> lock(d_->fdMutex);
    if (d_->fd >= 0) ::shutdown(d_->fd, SHUT_RDWR);
}

const std::string& SshSession::lastError() const {
    return d_->error;
}

} // namespace net
