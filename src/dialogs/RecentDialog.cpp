#include "RecentDialog.h"

#include "base/ShellOpen.h"
#include "playback/RecentTitles.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

RecentDialog::RecentDialog(const RecentTitles &titles, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRecent"));
    setWindowTitle(QStringLiteral("Recently Played"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstRecent"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Channel"), QStringLiteral("Title")});
    const QLocale locale;
    const QDate today = QDate::currentDate();
    for (const RecentTitles::Entry &e : titles.entries()) {
        const QDateTime local = e.time.toLocalTime();
        const QString when = local.date() == today ? locale.toString(local.time(), QLocale::ShortFormat)
                                                   : locale.toString(local, QLocale::ShortFormat);
        m_list->addTopLevelItem(new QTreeWidgetItem(QStringList{when, e.channel, e.title}));
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    m_copy->setObjectName(QStringLiteral("btnCopy"));
    m_search = buttons->addButton(QStringLiteral("&Search the Web"), QDialogButtonBox::ActionRole);
    m_search->setObjectName(QStringLiteral("btnSearch"));
    connect(m_copy, &QPushButton::clicked, this, &RecentDialog::copySelected);
    connect(m_search, &QPushButton::clicked, this, &RecentDialog::searchSelected);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    const auto enable = [this] {
        const bool any = m_list->currentItem() != nullptr;
        m_copy->setEnabled(any);
        m_search->setEnabled(any);
    };
    connect(m_list, &QTreeWidget::currentItemChanged, this, enable);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    enable();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(560, 380);
}

QString RecentDialog::selectedTitle() const
{
    const QTreeWidgetItem *item = m_list->currentItem();
    return item ? item->text(2) : QString();
}

void RecentDialog::copySelected()
{
    if (const QString title = selectedTitle(); !title.isEmpty())
        QGuiApplication::clipboard()->setText(title);
}

QString RecentDialog::SearchAddress(const QString &title)
{
    return QStringLiteral("https://duckduckgo.com/?q=") + QString::fromLatin1(QUrl::toPercentEncoding(title));
}

void RecentDialog::searchSelected()
{
    if (const QString title = selectedTitle(); !title.isEmpty())
        ShellOpen(SearchAddress(title));
}
