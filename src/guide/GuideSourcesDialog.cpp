#include "GuideSourcesDialog.h"

#include "GuideService.h"
#include "base/PlainText.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

GuideSourcesDialog::GuideSourcesDialog(GuideService &guide, QWidget *parent) : QDialog(parent), m_guide(guide)
{
    setWindowTitle(QStringLiteral("Guide Sources"));
    setObjectName(QStringLiteral("frmGuideSources"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstGuideSources"));
    m_list->setHeaderLabels(
        {QStringLiteral("Source"), QStringLiteral("Refreshed"), QStringLiteral("Result"), QStringLiteral("Channels")});
    m_list->setRootIsDecorated(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("edtGuideSource"));
    m_address->setPlaceholderText(QStringLiteral("https://... or a file (.xml, .xml.gz, .xml.xz)"));
    auto *browse = new QPushButton(QStringLiteral("&Browse..."), this);
    m_add = new QPushButton(QStringLiteral("&Add"), this);
    m_add->setObjectName(QStringLiteral("btnAddGuideSource"));
    m_remove = new QPushButton(QStringLiteral("&Remove"), this);
    m_remove->setObjectName(QStringLiteral("btnRemoveGuideSource"));
    auto *refresh = new QPushButton(QStringLiteral("Refresh &Now"), this);
    refresh->setObjectName(QStringLiteral("btnRefreshGuide"));
    m_why = new QLabel(this);
    m_why->setTextFormat(Qt::PlainText);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);

    auto *entry = new QHBoxLayout;
    entry->addWidget(m_address, 1);
    entry->addWidget(browse);
    entry->addWidget(m_add);
    auto *actions = new QHBoxLayout;
    actions->addWidget(m_remove);
    actions->addWidget(refresh);
    actions->addStretch(1);
    actions->addWidget(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(entry);
    layout->addWidget(m_why);
    layout->addLayout(actions);
    resize(720, 360);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_add, &QPushButton::clicked, this, &GuideSourcesDialog::add);
    connect(m_address, &QLineEdit::returnPressed, this, &GuideSourcesDialog::add);
    connect(browse, &QPushButton::clicked, this, &GuideSourcesDialog::browse);
    connect(m_remove, &QPushButton::clicked, this, &GuideSourcesDialog::removeSelected);
    connect(refresh, &QPushButton::clicked, &m_guide, &GuideService::refreshNow);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &GuideSourcesDialog::updateButtons);
    connect(&m_guide, &GuideService::sourcesChanged, this, &GuideSourcesDialog::fill);
    fill();
}

QString GuideSourcesDialog::Refusal(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QStringLiteral("Give an address or a file.");
    const QUrl url(t);
    if (url.scheme() == u"http" || url.scheme() == u"https")
        return url.host().isEmpty() ? QStringLiteral("The address names no server.") : QString();
    const QString path = url.isLocalFile() ? url.toLocalFile() : t;
    if (!QFileInfo(path).isFile())
        return QStringLiteral("There is no file %1.").arg(path);
    return {};
}

void GuideSourcesDialog::fill()
{
    const QString selected = m_list->currentItem() ? m_list->currentItem()->text(0) : QString();
    m_list->clear();
    for (const GuideSourceRow &s : m_guide.sources()) {
        const QString when =
            s.refreshed == 0
                ? QStringLiteral("never")
                : QDateTime::fromSecsSinceEpoch(s.refreshed).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        auto *item = new QTreeWidgetItem(m_list, {s.address, when, s.result, QString::number(s.matched)});
        item->setData(0, Qt::UserRole, s.row);
        item->setData(0, Qt::UserRole + 1, s.fromUser);
        item->setToolTip(0, PlainToolTip(s.fromUser ? s.address : s.address + QStringLiteral("\nNamed by a playlist")));
        item->setToolTip(2, PlainToolTip(s.result));
        if (s.address == selected)
            m_list->setCurrentItem(item);
    }
    updateButtons();
}

void GuideSourcesDialog::updateButtons()
{
    const QTreeWidgetItem *item = m_list->currentItem();
    const bool own = item && item->data(0, Qt::UserRole + 1).toBool();
    m_remove->setEnabled(own);
    m_remove->setToolTip(item && !own ? QStringLiteral("A playlist names this guide: it goes with the playlist.")
                                      : QString());
}

void GuideSourcesDialog::add()
{
    const QString text = m_address->text().trimmed();
    const QString why = Refusal(text);
    m_why->setText(why);
    if (!why.isEmpty())
        return;
    const QUrl url(text);
    m_guide.addSource(url.isLocalFile()
                          ? url.toLocalFile()
                          : (url.scheme().startsWith(u"http") ? text : QFileInfo(text).absoluteFilePath()));
    m_address->clear();
}

void GuideSourcesDialog::browse()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Add a Guide File"), QString(),
                                                      QStringLiteral("XMLTV guides (*.xml *.gz *.xz);;All files (*)"));
    if (!file.isEmpty())
        m_address->setText(file);
}

void GuideSourcesDialog::removeSelected()
{
    const QTreeWidgetItem *item = m_list->currentItem();
    if (item && item->data(0, Qt::UserRole + 1).toBool())
        m_guide.removeSource(item->data(0, Qt::UserRole).toLongLong());
}
