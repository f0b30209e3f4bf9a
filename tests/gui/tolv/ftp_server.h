#pragma once
// A local FTP server for the tests: the Debian package's server module on
// 127.0.0.1 with a free port, one user with write rights and a temporary
// root folder; stopped when the object goes.
#include <QProcess>
#include <QStringList>
#include <QThread>

#include <filesystem>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varenta::guitest {

class FtpServer {
public:
    static constexpr const char* kUser = "nerith";
    static constexpr const char* kPassword = "station";

    explicit FtpServer(const std::filesystem::path& root) : root_(root)
    {
        std::filesystem::create_directories(root_);
        port_ = freePort();
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_.setWorkingDirectory(QString::fromStdString(root_.string()));
        proc_.start(QStringLiteral("/usr/bin/python3"),
                    {"-m", "pyftpdlib", "-i", "127.0.0.1", "-p", QString::number(port_), "-w", "-d",
                     QString::fromStdString(root_.string()), "-u", kUser, "-P", kPassword});
        for (int i = 0; i < 100 && !accepting(port_); ++i)
            QThread::msleep(50);
    }
    ~FtpServer()
    {
        proc_.kill();
        proc_.waitForFinished(3000);
    }
    bool running() const { return accepting(port_); }
    int port() const { return port_; }
    const std::filesystem::path& root() const { return root_; }

    // A port nobody listens on.
    static int freePort()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        ::close(s);
        return ntohs(a.sin_port);
    }

private:
    static bool accepting(int port)
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(s);
        return ok;
    }

    std::filesystem::path root_;
    int port_ = 0;
    QProcess proc_;
};

}  // namespace varenta::guitest
