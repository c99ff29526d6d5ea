// Remote settings for a run against the loopback SSH server: key log-in, the server's own
// known_hosts, its folder as the host folder, the real module's command.
#pragma once

#include "net/remote_settings.h"
#include "tests/net/test_servers.h"

namespace nettest {

inline net::RemoteSettings sshSettings(const SshServer& server) {
    net::RemoteSettings s;
    s.protocol = net::RemoteProtocol::Ssh;
    s.host = QStringLiteral("127.0.0.1:%1").arg(server.port());
    s.user = server.user();
    s.sshKeyAuth = true;
    s.sshKeyFile = server.clientKey();
    s.knownHosts = server.knownHosts();
    s.remotePath = server.home();
    s.command = QStringLiteral("kq4calc remote$.kq4 0");
    s.maxTime = 20;
    return s;
}

} // namespace nettest
