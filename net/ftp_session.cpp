#include "net/ftp_session.h"

#include "net/line_buffer.h"

#include <curl/curl.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace net {

namespace {

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void appendEncoded(std::string& out, unsigned char c) {
    static const char hex[] = "0123456789ABCDEF";
    out += '%';
    out += hex[c >> 4];
    out += hex[c & 0x0F];
}

// The host folder as a URL path: each segment encoded, the slashes kept. A leading "/" (an
// absolute folder) gives "//..." after the authority, which libcurl sends as "CWD /...".
std::string encodeFolder(std::string_view folder) {
    std::string out;
    for (unsigned char c : folder) {
        if (c == '/' || isUnreserved(c))
            out += static_cast<char>(c);
        else
            appendEncoded(out, c);
    }
    if (!out.empty() && out.back() != '/') out += '/';
    return out;
}

// Names reach the server as one command argument; a line end or NUL in them would end the
// command early (and smuggle in another one).
bool validRemoteName(const std::string& name) {
    return !name.empty() && name.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

std::size_t utf8Length(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n; // count every byte that is not a continuation byte
    return n;
}

// How a libcurl result reads for the caller: the server refusing the one file (the session
// goes on) or anything that ends the session.
FtpResult classify(CURLcode code) {
    switch (code) {
    case CURLE_OK:
        return FtpResult::Ok;
    case CURLE_REMOTE_FILE_NOT_FOUND: // 550 to RETR (or SIZE)
    case CURLE_FTP_COULDNT_RETR_FILE: // another 4xx/5xx to RETR
    case CURLE_UPLOAD_FAILED:         // 4xx/5xx to STOR
        return FtpResult::NotFound;
    default: // CURLE_REMOTE_ACCESS_DENIED is a refused CWD: the folder, not the file
        return FtpResult::Failed;
    }
}

// What failed, in words, for the failures a user can do something about.
const char* reasonOf(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return "der Hostname ist unbekannt";
    case CURLE_COULDNT_CONNECT:
        return "der Host nimmt keine Verbindung an";
    case CURLE_LOGIN_DENIED:
        return "die Anmeldung wurde abgelehnt";
    case CURLE_REMOTE_ACCESS_DENIED:
        return "der Ordner ist nicht zugänglich";
    case CURLE_OPERATION_TIMEDOUT:
        return "Zeitüberschreitung";
    case CURLE_ABORTED_BY_CALLBACK:
        return "abgebrochen";
    default:
        return nullptr;
    }
}

// The names of an NLST reply, without folders in front and without "." and "..".
std::vector<std::string> listedNames(const std::string& listing) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < listing.size()) {
        std::size_t end = listing.find('\n', start);
        if (end == std::string::npos) end = listing.size();
        std::string line = listing.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t slash = line.rfind('/');
        if (slash != std::string::npos) line.erase(0, slash + 1);
        if (!line.empty() && line != "." && line != "..") names.push_back(line);
    }
    return names;
}

} // namespace

std::string ftpEncodeName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (unsigned char c : name) {
        if (isUnreserved(c))
            out += static_cast<char>(c);
        else
            appendEncoded(out, c);
    }
    return out;
}

std::string maskSecret(std::string text, std::string_view secret) {
    if (secret.empty()) return text;
    const std::string mask(utf8Length(secret), '#');
    for (std::size_t at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + mask.size()))
        text.replace(at, secret.size(), mask);
    return text;
}

struct TFtpSession::Impl {
    FtpConfig config;
    std::function<void(const std::string&)> log;
    const std::atomic<bool>* abort = nullptr;
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    bool connected = false;
    std::string lastError;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    LineBuffer replies;          // the server's replies, line by line
    LineBuffer commands;         // the commands sent, line by line
    std::FILE* file = nullptr;   // the local file of the transfer under way
    std::string* sink = nullptr; // or the text it goes into
    std::uint64_t received = 0;  // bytes of the transfer under way
    bool tooLarge = false;       // it went beyond maxFileBytes

    ~Impl() { close(); }

    bool aborted() const { return abort != nullptr && abort->load(); }

    std::string connectText() const {
        return "Keine FTP-Verbindung zu " + config.host + ":" + std::to_string(config.port);
    }

    // The login folder; an IPv6 address goes in brackets.
    std::string rootUrl() const {
        const bool v6 = config.host.find(':') != std::string::npos;
        return "ftp://" + (v6 ? "[" + config.host + "]" : config.host) + ":" +
               std::to_string(config.port) + "/";
    }
    std::string folderUrl() const { return rootUrl() + encodeFolder(config.directory); }
    std::string fileUrl(const std::string& name) const {
        return folderUrl() + ftpEncodeName(name) + ";type=a";
    }

    void emitLines(LineBuffer& lines, const char* data, std::size_t size) {
        lines.add(data, size, [this](std::string line) {
            if (log) log(maskSecret(std::move(line), config.password));
        });
    }

    static int onDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
        auto* self = static_cast<Impl*>(user);
        if (type == CURLINFO_HEADER_IN)
            self->emitLines(self->replies, data, size);
        else if (type == CURLINFO_HEADER_OUT)
            self->emitLines(self->commands, data, size);
        return 0;
    }

    static int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return static_cast<Impl*>(user)->aborted() ? 1 : 0;
    }

    static std::size_t onWrite(char* data, std::size_t size, std::size_t count, void* user) {
        auto* self = static_cast<Impl*>(user);
        const std::size_t n = size * count;
        self->received += n;
        if (self->received > self->config.maxFileBytes) {
            self->tooLarge = true;
            return 0; // ends the transfer with a write error
        }
        if (self->sink != nullptr) {
            self->sink->append(data, n);
            return n;
        }
        if (self->file == nullptr) return 0;
        return std::fwrite(data, 1, n, self->file);
    }

    static std::size_t onRead(char* data, std::size_t size, std::size_t count, void* user) {
        auto* self = static_cast<Impl*>(user);
        if (self->file == nullptr) return 0;
        const std::size_t n = std::fread(data, size, count, self->file);
        if (n == 0 && std::ferror(self->file)) return CURL_READFUNC_ABORT;
        return n * size;
    }

    bool open() {
        if (easy != nullptr) return true;
        initCurlOnce();
        multi = curl_multi_init();
        easy = curl_easy_init();
        if (multi == nullptr || easy == nullptr) {
            close();
            return false;
        }
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        // A name lookup under way does not hold up the end of an aborted transfer.
        curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
        curl_easy_setopt(easy, CURLOPT_USERNAME, config.user.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, config.password.c_str());
        curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
        curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, 1L);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, config.connectTimeoutSeconds);
        curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, config.transferTimeoutSeconds);
        // Less than one byte per second for the whole time-out is no progress at all.
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, config.transferTimeoutSeconds);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Impl::onProgress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L); // the debug function sees only with it
        curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &Impl::onDebug);
        curl_easy_setopt(easy, CURLOPT_DEBUGDATA, this);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::onWrite);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Impl::onRead);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        return true;
    }

    void close() {
        if (easy != nullptr) curl_easy_cleanup(easy);
        if (multi != nullptr) curl_multi_cleanup(multi);
        easy = nullptr;
        multi = nullptr;
        connected = false;
    }

    // Runs the transfer set up on the handle. The multi interface drives it so that the abort
    // flag is looked at every 100 ms even while libcurl waits for the server and calls no
    // progress function; the multi handle keeps the control connection between operations.
    CURLcode perform() {
        errorBuffer[0] = '\0';
        replies.clear();
        commands.clear();
        if (aborted()) return CURLE_ABORTED_BY_CALLBACK;
        if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
        CURLcode result = CURLE_OK;
        for (bool done = false; !done;) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg == CURLMSG_DONE) {
                    result = message->data.result;
                    done = true;
                }
            }
            if (!done && aborted()) {
                result = CURLE_ABORTED_BY_CALLBACK;
                break;
            }
            if (!done) curl_multi_poll(multi, nullptr, 0, 100, nullptr);
        }
        // Removing a transfer that has not finished closes its connection.
        curl_multi_remove_handle(multi, easy);
        return result;
    }

    FtpResult finish(CURLcode code, const std::string& what) {
        const FtpResult result = classify(code);
        if (result == FtpResult::Ok) {
            lastError.clear();
            connected = true;
            return result;
        }
        std::string reason;
        if (tooLarge)
            reason = "größer als " + std::to_string(config.maxFileBytes / (1024 * 1024)) + " MB";
        else if (const char* known = reasonOf(code))
            reason = known;
        else if (errorBuffer[0] != '\0')
            reason = errorBuffer;
        else
            reason = curl_easy_strerror(code);
        lastError = maskSecret(what + ": " + reason, config.password);
        // A refused command (MKD, RMD, DELE) leaves the session as it was.
        if (result == FtpResult::Failed && code != CURLE_QUOTE_ERROR) connected = false;
        return result;
    }

    FtpResult fail(std::string message) {
        lastError = maskSecret(std::move(message), config.password);
        return FtpResult::Failed;
    }

    // The handle back to a plain request on the host folder; each operation sets its own.
    void resetRequest(const std::string& url) {
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(easy, CURLOPT_POSTQUOTE, nullptr);
        curl_easy_setopt(easy, CURLOPT_DIRLISTONLY, 0L);
        curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(-1));
        file = nullptr;
        sink = nullptr;
        received = 0;
        tooLarge = false;
    }

    // Sends commands after the log-in and the change into the folder of url, one after the
    // other; a command with "*" in front may fail without ending the others.
    CURLcode quote(const std::string& url, const std::vector<std::string>& commands) {
        resetRequest(url);
        curl_slist* list = nullptr;
        for (const std::string& c : commands) list = curl_slist_append(list, c.c_str());
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTQUOTE, list);
        const CURLcode code = perform();
        curl_easy_setopt(easy, CURLOPT_POSTQUOTE, nullptr);
        curl_slist_free_all(list);
        return code;
    }

    // The reply code to the last command sent.
    long lastReply() const {
        long reply = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply);
        return reply;
    }
};

TFtpSession::TFtpSession(FtpConfig config) : d_(std::make_unique<Impl>()) {
    d_->config = std::move(config);
}

TFtpSession::~TFtpSession() = default;

void TFtpSession::setLog(std::function<void(const std::string&)> log) {
    d_->log = std::move(log);
}

void TFtpSession::setAbortFlag(const std::atomic<bool>* abort) {
    d_->abort = abort;
}

bool TFtpSession::connected() const {
    return d_->connected;
}

const std::string& TFtpSession::lastError() const {
    return d_->lastError;
}

FtpResult TFtpSession::connect() {
    if (!d_->open()) return d_->fail("libcurl nicht verfügbar");
    // No file: libcurl logs in and changes to the folder, and transfers nothing.
    d_->resetRequest(d_->folderUrl());
    curl_easy_setopt(d_->easy, CURLOPT_NOBODY, 1L);
    return d_->finish(d_->perform(), d_->connectText());
}

FtpResult TFtpSession::put(const std::string& localPath, const std::string& remoteName) {
    if (!validRemoteName(remoteName)) return d_->fail("ungültiger Dateiname: " + remoteName);
    std::FILE* in = std::fopen(localPath.c_str(), "rb");
    if (in == nullptr) return d_->fail(localPath + ": Datei kann nicht gelesen werden");
    if (!d_->open()) {
        std::fclose(in);
        return d_->fail("libcurl nicht verfügbar");
    }
    d_->resetRequest(d_->fileUrl(remoteName));
    d_->file = in;
    // No size given: in ASCII mode libcurl sends every "\n" as "\r\n", more bytes than the file
    // has.
    curl_easy_setopt(d_->easy, CURLOPT_UPLOAD, 1L);
    const CURLcode code = d_->perform();
    d_->file = nullptr;
    std::fclose(in);
    return d_->finish(code, "STOR " + remoteName);
}

FtpResult TFtpSession::get(const std::string& remoteName, const std::string& localPath) {
    if (!validRemoteName(remoteName)) return d_->fail("ungültiger Dateiname: " + remoteName);
    const std::string partPath = localPath + ".part";
    std::FILE* out = std::fopen(partPath.c_str(), "wb");
    if (out == nullptr) return d_->fail(partPath + ": Datei kann nicht angelegt werden");
    if (!d_->open()) {
        std::fclose(out);
        std::remove(partPath.c_str());
        return d_->fail("libcurl nicht verfügbar");
    }
    d_->resetRequest(d_->fileUrl(remoteName));
    d_->file = out;
    CURLcode code = d_->perform();
    d_->file = nullptr;
    const bool closed = std::fclose(out) == 0;
    if (code == CURLE_OK && !closed) code = CURLE_WRITE_ERROR;
    std::error_code ec;
    if (code == CURLE_OK)
        std::filesystem::rename(std::filesystem::path(partPath), std::filesystem::path(localPath),
                                ec);
    if (code != CURLE_OK || ec) std::remove(partPath.c_str());
    if (ec) return d_->fail(localPath + ": Datei kann nicht geschrieben werden");
    return d_->finish(code, "RETR " + remoteName);
}

FtpResult TFtpSession::remove(const std::string& remoteName) {
    if (!validRemoteName(remoteName)) return d_->fail("ungültiger Dateiname: " + remoteName);
    if (!d_->open()) return d_->fail("libcurl nicht verfügbar");
    // A 550 to DELE may mean "no such file" or "not allowed": whether the file is there is
    // asked first. A server without MDTM (500, 502) gets the DELE all the same.
    CURLcode code = d_->quote(d_->folderUrl(), {"*MDTM " + remoteName});
    if (code == CURLE_OK && d_->lastReply() == 550) {
        (void)d_->finish(code, "MDTM " + remoteName);
        d_->lastError = "DELE " + remoteName + ": Datei nicht vorhanden";
        return FtpResult::NotFound;
    }
    if (code == CURLE_OK) code = d_->quote(d_->folderUrl(), {"DELE " + remoteName});
    return d_->finish(code, "DELE " + remoteName);
}

FtpResult TFtpSession::makeFolder() {
    const std::string& dir = d_->config.directory;
    if (!validRemoteName(dir)) return d_->fail("ungültiger Ordner: " + dir);
    if (!d_->open()) return d_->fail("libcurl nicht verfügbar");
    // Logged in first, so that a failure says whether the server or the folder refused.
    if (!d_->connected) {
        const FtpResult r = d_->finish(d_->quote(d_->rootUrl(), {}), d_->connectText());
        if (r != FtpResult::Ok) return r;
    }
    return d_->finish(d_->quote(d_->rootUrl(), {"MKD " + dir}), "MKD " + dir);
}

FtpResult TFtpSession::removeFolder() {
    const std::string& dir = d_->config.directory;
    if (!validRemoteName(dir)) return d_->fail("ungültiger Ordner: " + dir);
    if (!d_->open()) return d_->fail("libcurl nicht verfügbar");
    std::string listing;
    d_->resetRequest(d_->folderUrl());
    d_->sink = &listing;
    curl_easy_setopt(d_->easy, CURLOPT_DIRLISTONLY, 1L);
    const CURLcode listed = d_->perform();
    d_->sink = nullptr;
    if (listed != CURLE_OK) return d_->finish(listed, "NLST " + dir);
    // Every file is tried; whether all went shows in the RMD.
    std::vector<std::string> commands;
    std::string prefix = dir;
    while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
    for (const std::string& name : listedNames(listing))
        if (validRemoteName(name)) commands.push_back("*DELE " + prefix + "/" + name);
    commands.push_back("RMD " + prefix);
    return d_->finish(d_->quote(d_->rootUrl(), commands), "RMD " + prefix);
}

void TFtpSession::quit() {
    if (d_->easy == nullptr) return;
    if (d_->connected && !d_->aborted()) {
        // A last empty request that may not keep its connection: libcurl sends QUIT on it,
        // through this handle, so the log shows the goodbye.
        d_->resetRequest(d_->folderUrl());
        curl_easy_setopt(d_->easy, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(d_->easy, CURLOPT_FORBID_REUSE, 1L);
        (void)d_->perform();
    }
    d_->close();
    d_->lastError.clear();
}

} // namespace net
