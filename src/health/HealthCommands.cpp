#include "HealthCommands.h"

#include "HealthChecker.h"
#include "HealthStore.h"
#include "base/OutsideText.h"
#include "base/PlainText.h"
#include "base/pGloba.h"
#include "catalogue/ChannelTree.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtConcurrent>

namespace {

constexpr int kRepaintMs = 250;
constexpr int kSaveMs = 2000;
constexpr int kSayDoneMs = 20000;
constexpr int kToolTipRole = Qt::UserRole + 40; // the tooltip a channel had before it was marked

} // namespace

HealthCommands::HealthCommands(const Widgets &widgets, TGlobal &global, ChannelTree &tree, QWidget *window)
    : QObject(window), m_w(widgets), m_global(global), m_tree(tree), m_checker(new HealthChecker(this))
{
    m_w.menFilter->addSeparator();
    m_hide = m_w.menFilter->addAction(QStringLiteral("&Hide Channels off the Air"));
    m_hide->setObjectName(QStringLiteral("actHideOffAir"));
    m_hide->setCheckable(true);
    m_hide->setChecked(m_global.HideOffAir);
    connect(m_hide, &QAction::toggled, this, [this](bool on) {
        m_global.HideOffAir = on;
        showOnTree();
    });

    m_statusText = new QLabel(m_w.statusBar);
    m_statusText->setTextFormat(Qt::PlainText);
    m_statusText->setObjectName(QStringLiteral("labHealthState"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), m_w.statusBar);
    m_cancel->setObjectName(QStringLiteral("btnHealthCancel"));
    m_cancel->setFlat(true);
    m_w.statusBar->addWidget(m_statusText, 1);
    m_w.statusBar->addPermanentWidget(m_cancel);
    m_statusText->hide();
    m_cancel->hide();
    connect(m_cancel, &QPushButton::clicked, this, &HealthCommands::cancel);
    m_statusHide.setSingleShot(true);
    connect(&m_statusHide, &QTimer::timeout, m_statusText, &QWidget::hide);

    m_repaint.setSingleShot(true);
    m_repaint.setInterval(kRepaintMs);
    connect(&m_repaint, &QTimer::timeout, this, &HealthCommands::showOnTree);
    m_saveLater.setSingleShot(true);
    m_saveLater.setInterval(kSaveMs);
    connect(&m_saveLater, &QTimer::timeout, this, &HealthCommands::save);
    connect(&m_save, &QFutureWatcher<QString>::finished, this, [this] {
        if (const QString why = m_save.result(); !why.isEmpty())
            qWarning("channel check results not saved: %s", qPrintable(why));
        if (std::exchange(m_saveAgain, false))
            save();
    });
    // A large file of results takes a while to read: the window does not wait for it.
    connect(&m_load, &QFutureWatcher<std::shared_ptr<HealthStore>>::finished, this, &HealthCommands::loaded);
    if (QFile::exists(storeFile())) {
        m_load.setFuture(QtConcurrent::run([file = storeFile()] {
            auto store = std::make_shared<HealthStore>(file);
            store->load();
            return store;
        }));
    } else {
        m_store = std::make_shared<HealthStore>(storeFile());
    }

    connect(m_checker, &HealthChecker::checked, this, [this](int index, const Health &h) {
        m_store->put(m_addresses.value(index), h);
        m_offAir += h.isOffAir() ? 1 : 0;
        if (!m_repaint.isActive())
            m_repaint.start();
        m_saveLater.start();
    });
    connect(m_checker, &HealthChecker::progress, this, [this](int done, int total) {
        say(QStringLiteral("Checking channels: %1 of %2 (%3 off the air)...").arg(done).arg(total).arg(m_offAir));
    });
    connect(m_checker, &HealthChecker::finished, this, [this](bool cancelled) {
        m_cancel->hide();
        const qsizetype n = m_addresses.size();
        say(cancelled ? QStringLiteral("Channel check cancelled")
                      : (n == 1 ? QStringLiteral("1 channel checked, %1 off the air").arg(m_offAir)
                                : QStringLiteral("%1 channels checked, %2 off the air").arg(n).arg(m_offAir)));
        m_statusHide.start(kSayDoneMs);
        m_repaint.stop();
        showOnTree();
        emit checkFinished();
    });
    connect(&m_tree, &ChannelTree::loadFinished, this, &HealthCommands::showOnTree);
    connect(&m_tree, &ChannelTree::groupFilled, this, &HealthCommands::showOnTree);
}

HealthCommands::~HealthCommands()
{
    m_save.waitForFinished();
    if (m_store && (m_saveLater.isActive() || m_saveAgain))
        m_store->save();
}

void HealthCommands::loaded()
{
    m_store = m_load.result();
    for (const auto &[address, health] : std::exchange(m_playedWhileLoading, {}))
        m_store->put(address, health);
    if (const auto check = std::exchange(m_checkWhenLoaded, std::nullopt))
        checkShown(*check);
    showOnTree();
}

void HealthCommands::save()
{
    if (!m_store)
        return;
    if (m_save.isRunning()) {
        m_saveAgain = true;
        return;
    }
    m_save.setFuture(
        QtConcurrent::run([file = m_store->file(), results = m_store->results(), max = m_store->maxResults()] {
            QString why;
            return HealthStore::Write(file, results, max, &why) ? QString() : why;
        }));
}

QString HealthCommands::storeFile() const
{
    return m_global.CacheDir + QStringLiteral("health.json");
}

bool HealthCommands::isChecking() const
{
    return m_checker->isRunning();
}

void HealthCommands::say(const QString &text)
{
    m_statusHide.stop();
    m_statusText->setText(text);
    m_statusText->show();
    m_w.statusPanel->show();
}

void HealthCommands::checkShown(bool onlyUnknown)
{
    if (!m_store) {
        m_checkWhenLoaded = onlyUnknown;
        return;
    }
    QList<HealthTarget> targets;
    m_addresses.clear();
    QSet<QString> seen; // a channel in several groups is checked once
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const XmlNode &channel : m_tree.shownChannels()) {
        const HealthTarget target = HealthTarget::Of(channel);
        if (target.address.isEmpty() || seen.contains(target.address) ||
            (onlyUnknown && m_store->trusted(target.address, now)))
            continue;
        seen.insert(target.address);
        targets.append(target);
        m_addresses.append(target.address);
    }
    m_offAir = 0;
    if (targets.isEmpty()) {
        if (!onlyUnknown)
            say(QStringLiteral("No channels to check"));
        m_statusHide.start(kSayDoneMs);
        return;
    }
    m_cancel->show();
    say(QStringLiteral("Checking channels: 0 of %1...").arg(targets.size()));
    m_checker->check(targets);
}

void HealthCommands::cancel()
{
    m_checker->cancel();
}

void HealthCommands::played(const QString &address, bool playing, const QString &reason)
{
    if (address.trimmed().isEmpty())
        return;
    Health h;
    h.state = playing ? Health::State::OnAir : Health::State::OffAir;
    h.reason = playing ? QStringLiteral("played") : outside::Clean(reason, outside::kReason);
    h.checked = QDateTime::currentDateTimeUtc();
    if (!m_store) {
        m_playedWhileLoading.append({address, h});
        return;
    }
    m_store->put(address, h);
    m_saveLater.start();
    showOnTree();
}

void HealthCommands::showOnTree()
{
    QTreeWidget *tree = m_w.treChannle;
    // Nothing to show before anything was ever checked (and no file to read for it).
    if (m_tree.isLoading() || !m_store)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const bool hide = m_hide->isChecked();
    const QLocale locale;
    const QBrush grey(tree->palette().color(QPalette::Disabled, QPalette::Text));
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem *group = tree->topLevelItem(g);
        for (int c = 0; c < group->childCount(); ++c) {
            QTreeWidgetItem *item = group->child(c);
            const auto h = m_store->trusted(m_tree.channelAttribute(item, "URL").trimmed(), now);
            const bool off = h && h->isOffAir();
            const bool marked = item->data(0, kToolTipRole).isValid();
            if (off) {
                if (!marked)
                    item->setData(0, kToolTipRole, item->toolTip(0));
                item->setForeground(0, grey);
                item->setToolTip(0, PlainToolTip(QStringLiteral("Off the air: %1\nChecked %2")
                                                     .arg(h->reason, locale.toString(h->checked.toLocalTime(),
                                                                                     QLocale::ShortFormat))));
            } else if (marked) {
                item->setForeground(0, QBrush());
                item->setToolTip(0, item->data(0, kToolTipRole).toString());
                item->setData(0, kToolTipRole, QVariant());
            }
            item->setHidden(off && hide);
        }
    }
}
