// A scripted telnet session on QTcpSocket: connects, negotiates options, and answers the
// texts it watches for (the login dialogue of a host and its shell prompt). Runs on the event
// loop; nothing waits.
//
// Matching: an event's search text counts only at the end of the text received so far
// (blanks after it allowed), and, after a line was sent with sendLine while the host echoes
// (it offered WILL ECHO), only once the echo of that line has arrived: a "$" prompt also
// appears in the echo of "kq4calc remote$.kq4 0", and taking it there would log out while the
// module runs. Text that has been matched is not matched again.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpSocket>

#include <functional>
#include <vector>

namespace net {

class TTelnetScript : public QObject {
    Q_OBJECT
public:
    struct WatchEvent {
        int id = 0;
        QString search; // must not be empty
        QString send;   // sent as given (add the line end yourself) when search arrives
        bool ignoreCase = false;
        bool persistent = false;             // else removed after its first match
        std::function<void(int id)> handler; // called after send was sent
    };

    explicit TTelnetScript(QObject* parent = nullptr);
    ~TTelnetScript() override;

    void setHost(const QString& host, quint16 port = 23);
    // The line end of sendLine and lineEnd(): CR NUL (crOnly) or CR LF.
    void setCrOnly(bool crOnly);
    QByteArray lineEnd() const;

    void addEvent(WatchEvent e);
    void removeEvent(int id);
    void clearEvents();

    // Opens the connection; sessionConnected or connectFailed follows.
    void connectToHost();
    bool isConnected() const;
    // Text (UTF-8) as it is, IAC bytes doubled.
    void send(const QString& text);
    // text + the line end; with a host that echoes, events wait for the echo of text.
    void sendLine(const QString& text);
    // Interrupts the program in the foreground: IAC IP and Ctrl-C.
    void interrupt();
    // Closes the connection (sessionClosed follows when it was open).
    void close();

signals:
    void sessionConnected();
    void connectFailed(const QString& reason);
    void sessionClosed();
    // Received text (options removed, UTF-8 decoded leniently), as it arrives.
    void dataAvailable(const QString& text);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

} // namespace net
