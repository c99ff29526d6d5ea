// The telnet protocol (commands, option negotiation, subnegotiation) is handled byte by byte
// in a small state machine so that a command split across two packets is still understood.
// Option states follow the rule that keeps negotiation free of loops: an answer is sent only
// when a request changes the state, or to refuse an option we do not support.
#include "net/telnet_script.h"

#include <QPointer>
#include <QStringDecoder>
#include <QTimer>

#include <array>
#include <deque>
#include <memory>

namespace net {

namespace {

constexpr unsigned char kSe = 240;
constexpr unsigned char kIp = 244;
constexpr unsigned char kSb = 250;
constexpr unsigned char kWill = 251;
constexpr unsigned char kWont = 252;
constexpr unsigned char kDo = 253;
constexpr unsigned char kDont = 254;
constexpr unsigned char kIac = 255;

constexpr unsigned char kOptEcho = 1;
constexpr unsigned char kOptSga = 3;
constexpr unsigned char kOptTtype = 24;

constexpr unsigned char kTtypeIs = 0;
constexpr unsigned char kTtypeSend = 1;

// Subnegotiations longer than this are skipped; ours (terminal type) are a few bytes.
constexpr qsizetype kMaxSubneg = 256;
// Received text kept for matching; a prompt or login request is far shorter.
constexpr qsizetype kMaxTail = 4096;
constexpr int kConnectTimeoutMs = 30000;

// Characters left out when an echo is compared with the line sent: line ends, padding, and
// what a terminal adds where it wraps a long line (" \r", "\r\n").
bool ignoredInEcho(QChar c) {
    return c == u'\r' || c == u'\n' || c == QChar(0) || c == u' ' || c == u'\t';
}

QString echoForm(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s)
        if (!ignoredInEcho(c)) out.append(c);
    return out;
}

} // namespace

struct TTelnetScript::Impl {
    enum class Parse { Data, Iac, Will, Wont, Do, Dont, Sb, SbIac };

    TTelnetScript* q;
    QTcpSocket sock;
    QTimer connectTimer;
    QString host;
    quint16 port = 23;
    bool crOnly = true;
    bool opened = false; // sessionConnected was emitted; sessionClosed is owed
    int session = 0;     // counts connectToHost, so that a deferred close spares a new session
    std::vector<WatchEvent> events;

    Parse parse = Parse::Data;
    QByteArray subneg;
    bool subnegTooLong = false;
    std::array<bool, 256> hisOpt{}; // options the host does (WILL accepted)
    std::array<bool, 256> myOpt{};  // options we do (DO accepted)
    QStringDecoder decoder{QStringDecoder::Utf8};

    QString tail;                    // received text not yet matched
    std::deque<QString> echoPending; // lines sent whose echo has not arrived (echo form)
    QString echoSeen;                // echo form of the text since the oldest pending line

    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
    int callbackDepth = 0;

    explicit Impl(TTelnetScript* owner) : q(owner) {}

    void reset() {
        parse = Parse::Data;
        subneg.clear();
        subnegTooLong = false;
        hisOpt.fill(false);
        myOpt.fill(false);
        decoder.resetState();
        tail.clear();
        echoPending.clear();
        echoSeen.clear();
    }

    void writeRaw(const QByteArray& bytes) {
        if (sock.state() == QAbstractSocket::ConnectedState) sock.write(bytes);
    }

    void command(unsigned char verb, unsigned char opt) {
        const char b[3] = {char(kIac), char(verb), char(opt)};
        writeRaw(QByteArray(b, 3));
    }

    static bool hostMayDo(unsigned char opt) { return opt == kOptEcho || opt == kOptSga; }
    static bool weMayDo(unsigned char opt) { return opt == kOptTtype || opt == kOptSga; }

    // A request to switch an option on (WILL: on the host's side, DO: on ours) is agreed to
    // once when we allow it and refused otherwise; a request that matches the state already
    // gets no answer, so two peers never loop.
    void requestOn(std::array<bool, 256>& state, bool allowed, unsigned char agree,
                   unsigned char refuse, unsigned char opt) {
        if (!allowed) {
            if (!state[opt]) command(refuse, opt);
            return;
        }
        if (!state[opt]) {
            state[opt] = true;
            command(agree, opt);
        }
    }

    // A request to switch an option off (WONT, DONT) is always agreed to, once.
    void requestOff(std::array<bool, 256>& state, unsigned char agree, unsigned char opt) {
        if (state[opt]) {
            state[opt] = false;
            command(agree, opt);
        }
    }

    void onWill(unsigned char opt) { requestOn(hisOpt, hostMayDo(opt), kDo, kDont, opt); }
    void onDo(unsigned char opt) { requestOn(myOpt, weMayDo(opt), kWill, kWont, opt); }
    void onDont(unsigned char opt) { requestOff(myOpt, kWont, opt); }

    void onWont(unsigned char opt) {
        requestOff(hisOpt, kDont, opt);
        if (opt == kOptEcho) { // no echo will come for lines already sent
            echoPending.clear();
            echoSeen.clear();
        }
    }

    void onSubnegotiation() {
        if (subnegTooLong || subneg.size() < 2) return;
        if (quint8(subneg[0]) == kOptTtype && quint8(subneg[1]) == kTtypeSend && myOpt[kOptTtype]) {
            QByteArray answer;
            answer.append(char(kIac)).append(char(kSb)).append(char(kOptTtype));
            answer.append(char(kTtypeIs)).append("dumb");
            answer.append(char(kIac)).append(char(kSe));
            writeRaw(answer);
        }
    }

    void addSubneg(char ch) {
        if (subneg.size() < kMaxSubneg)
            subneg.append(ch);
        else
            subnegTooLong = true;
    }

    void afterIac(unsigned char b, QByteArray& data) {
        parse = Parse::Data;
        if (b == kIac)
            data.append(char(b));
        else if (b == kWill)
            parse = Parse::Will;
        else if (b == kWont)
            parse = Parse::Wont;
        else if (b == kDo)
            parse = Parse::Do;
        else if (b == kDont)
            parse = Parse::Dont;
        else if (b == kSb) {
            parse = Parse::Sb;
            subneg.clear();
            subnegTooLong = false;
        }
        // other commands (NOP, GA, DM, AYT, ...) carry nothing for us
    }

    // Removes the telnet commands from bytes, answers them, and returns the data bytes.
    QByteArray parseBytes(const QByteArray& bytes) {
        QByteArray data;
        for (char ch : bytes) {
            const auto b = static_cast<unsigned char>(ch);
            switch (parse) {
            case Parse::Data:
                if (b == kIac)
                    parse = Parse::Iac;
                else if (b != 0) // NUL is padding (after CR)
                    data.append(ch);
                break;
            case Parse::Iac:
                afterIac(b, data);
                break;
            case Parse::Will:
                parse = Parse::Data;
                onWill(b);
                break;
            case Parse::Wont:
                parse = Parse::Data;
                onWont(b);
                break;
            case Parse::Do:
                parse = Parse::Data;
                onDo(b);
                break;
            case Parse::Dont:
                parse = Parse::Data;
                onDont(b);
                break;
            case Parse::Sb:
                if (b == kIac)
                    parse = Parse::SbIac;
                else
                    addSubneg(ch);
                break;
            case Parse::SbIac:
                if (b == kIac) { // a doubled IAC is a data byte of the subnegotiation
                    parse = Parse::Sb;
                    addSubneg(ch);
                } else if (b == kSe) {
                    parse = Parse::Data;
                    onSubnegotiation();
                } else { // unterminated subnegotiation: drop it, take the command
                    subneg.clear();
                    afterIac(b, data);
                }
                break;
            }
        }
        return data;
    }

    // Feeds received text through the echo wait into the tail.
    void takeText(const QString& text) {
        for (QChar c : text) {
            tail.append(c);
            if (echoPending.empty() || ignoredInEcho(c)) continue;
            echoSeen.append(c);
            const QString& want = echoPending.front();
            if (echoSeen.size() > want.size()) echoSeen.remove(0, echoSeen.size() - want.size());
            if (echoSeen == want) { // the echo is consumed: a prompt inside it must not count
                echoPending.pop_front();
                echoSeen.clear();
                tail.clear();
            }
        }
        if (tail.size() > kMaxTail) tail.remove(0, tail.size() - kMaxTail);
    }

    // Returns false when the object was destroyed by a handler.
    bool matchEvents() {
        if (!echoPending.empty() || events.empty()) return true;
        qsizetype end = tail.size();
        while (end > 0 && (tail[end - 1] == u' ' || tail[end - 1] == u'\t')) --end;
        const QStringView text = QStringView(tail).first(end);
        for (std::size_t i = 0; i < events.size(); ++i) {
            const WatchEvent& e = events[i];
            if (e.search.isEmpty()) continue;
            const auto cs = e.ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
            if (!text.endsWith(e.search, cs)) continue;
            WatchEvent hit = e; // the handler may change the list
            if (!hit.persistent) events.erase(events.begin() + std::ptrdiff_t(i));
            tail.clear();
            if (!hit.send.isEmpty()) q->send(hit.send);
            if (hit.handler) {
                std::weak_ptr<bool> guard = alive;
                ++callbackDepth;
                hit.handler(hit.id);
                if (guard.expired()) return false;
                --callbackDepth;
            }
            return true;
        }
        return true;
    }

    void onReadyRead() {
        const QByteArray data = parseBytes(sock.readAll());
        if (data.isEmpty()) return;
        const QString text = decoder.decode(data);
        if (text.isEmpty()) return;
        std::weak_ptr<bool> guard = alive;
        ++callbackDepth;
        emit q->dataAvailable(text);
        if (guard.expired()) return;
        --callbackDepth;
        takeText(text);
        matchEvents();
    }
};

TTelnetScript::TTelnetScript(QObject* parent) : QObject(parent), d_(std::make_unique<Impl>(this)) {
    d_->connectTimer.setSingleShot(true);
    connect(&d_->connectTimer, &QTimer::timeout, this, [this] {
        if (d_->sock.state() == QAbstractSocket::ConnectedState) return;
        d_->sock.abort();
        emit connectFailed(tr("Zeitüberschreitung beim Verbindungsaufbau zu %1").arg(d_->host));
    });
    connect(&d_->sock, &QTcpSocket::connected, this, [this] {
        d_->connectTimer.stop();
        d_->opened = true;
        emit sessionConnected();
    });
    connect(&d_->sock, &QTcpSocket::readyRead, this, [this] { d_->onReadyRead(); });
    connect(&d_->sock, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (d_->opened || !d_->connectTimer.isActive())
            return; // errors of an open session end in disconnected
        d_->connectTimer.stop();
        const QString reason = d_->sock.errorString();
        d_->sock.abort();
        emit connectFailed(reason);
    });
    connect(&d_->sock, &QTcpSocket::disconnected, this, [this] {
        if (!d_->opened) return;
        std::weak_ptr<bool> guard = d_->alive;
        if (d_->sock.bytesAvailable() > 0) d_->onReadyRead();
        if (guard.expired() || !d_->opened) return;
        d_->opened = false;
        emit sessionClosed();
    });
}

TTelnetScript::~TTelnetScript() {
    *d_->alive = false;
    d_->alive.reset();
    QObject::disconnect(&d_->sock, nullptr, this, nullptr);
    d_->sock.abort();
}

void TTelnetScript::setHost(const QString& host, quint16 port) {
    d_->host = host;
    d_->port = port;
}

void TTelnetScript::setCrOnly(bool crOnly) {
    d_->crOnly = crOnly;
}

QByteArray TTelnetScript::lineEnd() const {
    return d_->crOnly ? QByteArray("\r\0", 2) : QByteArray("\r\n");
}

void TTelnetScript::addEvent(WatchEvent e) {
    d_->events.push_back(std::move(e));
}

void TTelnetScript::removeEvent(int id) {
    std::erase_if(d_->events, [id](const WatchEvent& e) { return e.id == id; });
}

void TTelnetScript::clearEvents() {
    d_->events.clear();
}

void TTelnetScript::connectToHost() {
    if (d_->sock.state() != QAbstractSocket::UnconnectedState) {
        d_->opened = false; // a new session replaces the old one without signals
        d_->sock.abort();
    }
    d_->reset();
    ++d_->session;
    d_->connectTimer.start(kConnectTimeoutMs);
    d_->sock.connectToHost(d_->host, d_->port);
}

bool TTelnetScript::isConnected() const {
    return d_->sock.state() == QAbstractSocket::ConnectedState;
}

void TTelnetScript::send(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        out.append(c);
        if (static_cast<unsigned char>(c) == kIac) out.append(c);
    }
    d_->writeRaw(out);
}

void TTelnetScript::sendLine(const QString& text) {
    send(text);
    d_->writeRaw(lineEnd());
    if (isConnected() && d_->hisOpt[kOptEcho]) {
        const QString want = echoForm(text);
        if (!want.isEmpty()) d_->echoPending.push_back(want);
    }
}

void TTelnetScript::interrupt() {
    const char b[3] = {char(kIac), char(kIp), 0x03};
    d_->writeRaw(QByteArray(b, 3));
}

void TTelnetScript::close() {
    d_->connectTimer.stop();
    if (d_->sock.state() == QAbstractSocket::UnconnectedState) return;
    if (!d_->opened) { // still connecting: nothing was open
        d_->sock.abort();
        return;
    }
    if (d_->callbackDepth > 0) { // inside a handler: let it return before sessionClosed
        QTimer::singleShot(0, this, [this, session = d_->session] {
            if (session == d_->session) d_->sock.disconnectFromHost();
        });
        return;
    }
    d_->sock.disconnectFromHost();
}

} // namespace net
