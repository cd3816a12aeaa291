#include "PrivateBus.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

PrivateBus::PrivateBus()
{
    const QString file = m_dir.filePath(QStringLiteral("address"));
    // The daemon goes once this process has gone, whichever way it ends.
    const QString script =
        QStringLiteral("dbus-daemon --session --nofork --nopidfile --print-address=1 > '%1.part' & d=$!; "
                       "while kill -0 %2 2>/dev/null; do sleep 0.5; done; kill $d; wait $d")
            .arg(file)
            .arg(QCoreApplication::applicationPid());
    if (!QProcess::startDetached(QStringLiteral("sh"), {QStringLiteral("-c"), script}))
        return;
    QFile address(file + QStringLiteral(".part"));
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(20)) {
        if (address.open(QIODevice::ReadOnly)) {
            const QByteArray line = address.readAll();
            address.close();
            if (line.endsWith('\n')) {
                m_address = QString::fromUtf8(line).trimmed();
                return;
            }
        }
    }
}

void PrivateBus::makeSessionBus() const
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
}
