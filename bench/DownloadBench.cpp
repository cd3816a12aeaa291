#include "DownloadBench.h"

#include "Measure.h"
#include "online/HttpCli.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A loopback server that answers every request with one file, sent by the kernel (sendfile):
// fast enough that the clients, not the server, set the pace.
class FileServer
{
public:
    explicit FileServer(const QString &path) : m_path(path.toStdString())
    {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        listen(m_listen, 8);
        socklen_t len = sizeof addr;
        getsockname(m_listen, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~FileServer()
    {
        shutdown(m_listen, SHUT_RDWR);
        close(m_listen);
        m_thread.join();
    }
    quint16 port() const { return m_port; }

private:
    void serve()
    {
        for (;;) {
            const int c = accept(m_listen, nullptr, nullptr);
            if (c < 0)
                return;
            char request[4096];
            std::string head;
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = recv(c, request, sizeof request, 0);
                if (n <= 0)
                    break;
                head.append(request, size_t(n));
            }
            const int fd = open(m_path.c_str(), O_RDONLY);
            struct stat st
            {
            };
            fstat(fd, &st);
            const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(st.st_size) + "\r\n\r\n";
            send(c, reply.data(), reply.size(), 0);
            off_t offset = 0;
            while (offset < st.st_size && sendfile(c, fd, &offset, size_t(st.st_size - offset)) > 0) {
            }
            ::close(fd);
            ::close(c);
        }
    }

    std::string m_path;
    int m_listen = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

} // namespace

int RunDownloadBench(int runs)
{
    constexpr qint64 kSize = 100 * 1000 * 1000;
    QTemporaryDir dir;
    {
        QFile f(dir.filePath(QStringLiteral("big.bin")));
        f.open(QIODevice::WriteOnly);
        QByteArray block(1 << 20, '\0');
        for (int i = 0; i < block.size(); ++i)
            block[i] = char(i * 7);
        for (qint64 left = kSize; left > 0; left -= block.size())
            f.write(block.constData(), qMin<qint64>(left, block.size()));
    }
    FileServer server(dir.filePath(QStringLiteral("big.bin")));
    const QString url = QStringLiteral("http://127.0.0.1:%1/big.bin").arg(server.port());

    // What the download dialog shows while it works.
    QWidget window;
    auto *bar = new QProgressBar(&window);
    auto *label = new QLabel(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(label);
    layout->addWidget(bar);
    window.show();

    THttpCli cli(QStringLiteral("HttpBench"));
    QObject::connect(&cli, &THttpCli::OnDocBegin, [&] { bar->setMaximum(int(cli.ContentLength)); });
    QObject::connect(&cli, &THttpCli::OnDocData, [&] {
        bar->setValue(int(cli.ReceivedCount));
        label->setText(
            QStringLiteral("Current file size:    %1 / %2 Byte").arg(cli.ReceivedCount).arg(cli.ContentLength));
    });

    QList<double> ours, curl, latency;
    for (int i = 0; i < runs; ++i) {
        QFile out(dir.filePath(QStringLiteral("ours.bin")));
        out.open(QIODevice::ReadWrite | QIODevice::Truncate);
        cli.URL = url;
        cli.ReceiveStream = &out;
        // A 10 ms timer on the GUI thread: how late does it fire while the download runs?
        double worst = 0;
        QElapsedTimer tick;
        tick.start();
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            worst = qMax(worst, tick.nsecsElapsed() / 1e6 - 10);
            tick.restart();
        });
        probe.start(10);
        QElapsedTimer t;
        t.start();
        try {
            cli.Get();
        } catch (const EHttpException &e) {
            qWarning("download failed: %s", qPrintable(e.message()));
            return 1;
        }
        ours.append(t.nsecsElapsed() / 1e6);
        probe.stop();
        latency.append(worst);
        cli.ReceiveStream = nullptr;
        if (out.size() != kSize) {
            qWarning("download incomplete: %lld bytes", out.size());
            return 1;
        }

        QProcess p;
        QElapsedTimer c;
        c.start();
        p.start(QStringLiteral("curl"),
                {QStringLiteral("-s"), QStringLiteral("-o"), dir.filePath(QStringLiteral("curl.bin")), url});
        p.waitForFinished(120000);
        curl.append(c.nsecsElapsed() / 1e6);
    }
    const double mb = kSize / 1e6;
    bench::Report(QStringLiteral("download 100 MB over loopback with progress events"),
                  mb / (bench::Median(ours) / 1000), QStringLiteral("MB/s"), mb / (bench::Median(curl) / 1000),
                  QStringLiteral("curl"), QStringLiteral("target >= 0.8 x curl"));
    bench::Report(QStringLiteral("GUI timer lateness during the download (worst, median of runs)"),
                  bench::Median(latency), QStringLiteral("ms"), 0, {}, QStringLiteral("target < 50"));
    return 0;
}
