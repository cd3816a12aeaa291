#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>

// One running Zentavo per user and program: the first start takes a lock in the user's runtime
// folder and listens on a local socket beside it; a later start hands the running one its
// request (raise the window, play this) and is done. Two program folders (portable copies) are
// two programs: the key tells them apart.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QStringList arguments; // addresses and files (files made absolute by the sender)
        bool raise = true;
    };

    // key: what makes two starts the same program (the path of its settings file).
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    enum class Role {
        Running,    // this process is the one: it listens for later starts
        HandedOver, // another one runs and took the request
        Alone,      // neither could be arranged: this process runs, unreachable by later starts
    };
    Role start(const Request &request);

    // Requests that came before the window was ready are kept until this is called.
    void setReady();

    // The message a later start sends: versioned, size-capped.
    static QByteArray encode(const Request &request);
    static std::optional<Request> decode(const QByteArray &message);
    static constexpr qsizetype kMaxMessage = 64 * 1024;

    // Empty where no private folder could be had: then every start runs alone.
    QString socketPath() const { return m_socketPath; }

signals:
    void requested(const SingleInstance::Request &request);

private:
    bool handOver(const Request &request, int timeoutMs);
    void accept();

    QString m_socketPath;
    QString m_lockPath;
    QString m_unavailable;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
    QList<Request> m_pending;
    bool m_ready = false;
};
