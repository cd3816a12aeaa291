#include "TestHttpServer.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/resource.h>

#include <memory>

class HttpWorker : public QObject
{
public:
    explicit HttpWorker(TestHttpServer *owner) : m_owner(owner) {}

    quint16 listen(const QHostAddress &address, quint16 port)
    {
        m_server = new QTcpServer(this);
        if (!m_server->listen(address, port))
            return 0;
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server->nextPendingConnection())
                accepted(s);
        });
        return m_server->serverPort();
    }

private:
    void accepted(QTcpSocket *s)
    {
        // Goes with the connection that holds it, whenever the socket goes.
        auto buffer = std::make_shared<QByteArray>();
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QTcpSocket::readyRead, this, [this, s, buffer] {
            if (buffer->contains("\r\n\r\n"))
                return; // one request per connection
            buffer->append(s->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end >= 0)
                answer(s, buffer->left(end + 4));
        });
    }

    void answer(QTcpSocket *s, const QByteArray &head)
    {
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        const QString target = QString::fromLatin1(first.value(1));
        const QString path = target.section(u'?', 0, 0);
        TestHttpServer::Reply reply;
        bool scripted = false;
        QString dir;
        {
            QMutexLocker lock(&m_owner->m_lock);
            m_owner->m_requests.append(head);
            if (m_owner->m_scripts.contains(target)) {
                reply = m_owner->m_scripts.value(target);
                scripted = true;
            } else if (m_owner->m_scripts.contains(path)) {
                reply = m_owner->m_scripts.value(path);
                scripted = true;
            }
            dir = m_owner->m_dir;
        }
        if (!scripted)
            reply = fileReply(dir, path, head, first.value(0) == "HEAD");
        if (reply.silent)
            return;
        QTimer::singleShot(reply.delayMs, s, [this, s, reply] { send(s, reply, 0); });
    }

    void send(QTcpSocket *s, const TestHttpServer::Reply &reply, int piece)
    {
        if (piece == 0)
            s->write(reply.raw);
        else
            s->write(reply.pieces[piece - 1]);
        if (reply.sent) {
            s->flush();
            reply.sent(piece);
        }
        if (piece < reply.pieces.size()) {
            QTimer::singleShot(reply.pieceDelayMs, s, [this, s, reply, piece] { send(s, reply, piece + 1); });
            return;
        }
        if (reply.close) {
            s->flush();
            s->disconnectFromHost();
        }
    }

    static TestHttpServer::Reply fileReply(const QString &dir, const QString &path, const QByteArray &head,
                                           bool headOnly)
    {
        TestHttpServer::Reply r;
        QFile f(dir + path);
        if (dir.isEmpty() || path.contains(QStringLiteral("..")) || !QFileInfo(f).isFile() ||
            !f.open(QIODevice::ReadOnly)) {
            r.raw = HttpReply(404, "Not Found", "<html>no such file</html>");
            return r;
        }
        const QByteArray all = f.readAll();
        static const QRegularExpression range(QStringLiteral("Range:\\s*bytes=(\\d+)-(\\d*)"),
                                              QRegularExpression::CaseInsensitiveOption);
        const auto m = range.match(QString::fromLatin1(head));
        QByteArray type = "application/octet-stream";
        if (path.endsWith(QStringLiteral(".mp4")))
            type = "video/mp4";
        else if (path.endsWith(QStringLiteral(".mp3")))
            type = "audio/mpeg";
        if (m.hasMatch()) {
            const qint64 from = m.captured(1).toLongLong();
            const qint64 to =
                m.captured(2).isEmpty() ? all.size() - 1 : qMin<qint64>(m.captured(2).toLongLong(), all.size() - 1);
            if (from >= all.size()) {
                r.raw = HttpReply(416, "Range Not Satisfiable", {},
                                  "Content-Range: bytes */" + QByteArray::number(all.size()) + "\r\n");
                return r;
            }
            const QByteArray body = all.mid(from, to - from + 1);
            r.raw = "HTTP/1.1 206 Partial Content\r\nContent-Type: " + type +
                    "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nContent-Range: bytes " +
                    QByteArray::number(from) + '-' + QByteArray::number(to) + '/' + QByteArray::number(all.size()) +
                    "\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n" + (headOnly ? QByteArray() : body);
            return r;
        }
        r.raw = "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(all.size()) +
                "\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n" + (headOnly ? QByteArray() : all);
        return r;
    }

    TestHttpServer *m_owner;
    QTcpServer *m_server = nullptr;
};

TestHttpServer::TestHttpServer(quint16 port, const QHostAddress &address) : m_address(address.toString())
{
    auto *worker = new HttpWorker(this);
    m_worker = worker;
    worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, worker, &QObject::deleteLater);
    m_thread.start();
    QSemaphore ready;
    QMetaObject::invokeMethod(worker, [this, worker, port, address, &ready] {
        m_port = worker->listen(address, port);
        ready.release();
    });
    ready.acquire();
}

TestHttpServer::~TestHttpServer()
{
    m_thread.quit();
    m_thread.wait();
}

QString TestHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://%1:%2%3").arg(m_address).arg(m_port).arg(path);
}

void TestHttpServer::serveDirectory(const QString &dir)
{
    QMutexLocker lock(&m_lock);
    m_dir = dir;
}

void TestHttpServer::script(const QString &path, const Reply &reply)
{
    QMutexLocker lock(&m_lock);
    m_scripts.insert(path, reply);
}

QList<QByteArray> TestHttpServer::requests() const
{
    QMutexLocker lock(&m_lock);
    return m_requests;
}

int TestHttpServer::requestsFor(const QByteArray &target) const
{
    int n = 0;
    for (const QByteArray &head : requests())
        n += head.startsWith("GET " + target + ' ') ? 1 : 0;
    return n;
}

QByteArray TestHttpServer::requestWith(const QByteArray &text) const
{
    for (const QByteArray &head : requests()) {
        if (head.contains(text))
            return head;
    }
    return {};
}

void TestHttpServer::clearRequests()
{
    QMutexLocker lock(&m_lock);
    m_requests.clear();
}

TestHttpServer::Reply IcyStream(const QByteArray &mp3, const QStringList &titles, int metaint, int pieceDelayMs)
{
    const auto metadata = [](const QString &title) {
        QByteArray text = "StreamTitle='" + title.toUtf8() + "';";
        const qsizetype blocks = (text.size() + 15) / 16;
        text.append(QByteArray(blocks * 16 - text.size(), '\0'));
        return char(blocks) + text;
    };
    TestHttpServer::Reply reply;
    reply.raw = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: Test Radio\r\nicy-metaint: " +
                QByteArray::number(metaint) + "\r\n\r\n";
    int n = 0;
    for (qsizetype at = 0; at < mp3.size(); at += metaint, ++n) {
        QByteArray piece = mp3.mid(at, metaint);
        if (piece.size() == metaint)
            piece += metadata(titles.value(n % titles.size()));
        if (n == 0)
            reply.raw += piece;
        else
            reply.pieces.append(piece);
    }
    reply.pieceDelayMs = pieceDelayMs;
    return reply;
}

TestHttpServer::Reply EndlessHeaders(const QByteArray &statusLine)
{
    TestHttpServer::Reply r;
    r.raw = statusLine + "\r\n";
    r.pieces = QList<QByteArray>(20000, "X-More: " + QByteArray(1000, 'a') + "\r\n");
    return r;
}

double ProcessCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QByteArray HttpReply(int status, const QByteArray &reason, const QByteArray &body, const QByteArray &extraHeaders)
{
    return "HTTP/1.0 " + QByteArray::number(status) + ' ' + reason +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}
