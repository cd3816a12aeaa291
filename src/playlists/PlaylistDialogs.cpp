#include "PlaylistDialogs.h"

#include "PlaylistReader.h"
#include "appearance/SkinEngine.h"
#include "base/Errors.h"
#include "base/Guard.h"
#include "base/Prompter.h"
#include "base/pGloba.h"
#include "catalogue/ChannelText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const RefreshInterval kIntervals[] = {RefreshInterval::Never, RefreshInterval::AtStartup, RefreshInterval::Daily,
                                      RefreshInterval::Weekly};

int intervalIndex(RefreshInterval interval)
{
    for (int i = 0; i < 4; ++i) {
        if (kIntervals[i] == interval)
            return i;
    }
    return 0;
}

QLineEdit *field(const QString &objectName, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    return edit;
}

QPushButton *button(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    return b;
}

// A file given as a file:// address is that file.
QString plainSource(const QString &text)
{
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1StringView("file:"), Qt::CaseInsensitive))
        return QUrl(t).toLocalFile();
    return t;
}

QString when(const QDateTime &time)
{
    return time.isValid() ? QLocale().toString(time.toLocalTime(), QLocale::ShortFormat) : QStringLiteral("never");
}

} // namespace

QComboBox *NewIntervalBox(QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("cobRefresh"));
    box->addItems(
        {QStringLiteral("Never"), QStringLiteral("At start-up"), QStringLiteral("Daily"), QStringLiteral("Weekly")});
    return box;
}

AddPlaylistDialog::AddPlaylistDialog(TGlobal &global, const QList<PublicPlaylist> &offered, QWidget *parent)
    : QDialog(parent), m_offered(offered)
{
    setObjectName(QStringLiteral("AddPlaylistDialog"));
    setWindowTitle(QStringLiteral("Add Playlist"));
    auto *form = new QFormLayout;
    m_collection = new QComboBox(this);
    m_collection->setObjectName(QStringLiteral("cobCollection"));
    m_collection->addItem(QStringLiteral("(your own playlist)"));
    PublicPlaylist::Kind last = PublicPlaylist::Kind::Whole;
    for (const PublicPlaylist &p : std::as_const(m_offered)) {
        if (p.kind != last && m_collection->count() > 1)
            m_collection->insertSeparator(m_collection->count());
        last = p.kind;
        m_collection->addItem(p.name, QVariant::fromValue(int(&p - m_offered.constData())));
    }
    m_collection->setMaxVisibleItems(20);
    form->addRow(QStringLiteral("Public playlist:"), m_collection);
    m_name = field(QStringLiteral("edtName"), this);
    form->addRow(QStringLiteral("Name:"), m_name);
    m_source = field(QStringLiteral("edtSource"), this);
    m_source->setPlaceholderText(QStringLiteral("https://... or a file"));
    m_source->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    m_browse = button(QStringLiteral("btnBrowse"), QStringLiteral("Browse..."), this);
    auto *sourceRow = new QHBoxLayout;
    sourceRow->addWidget(m_source, 1);
    sourceRow->addWidget(m_browse);
    form->addRow(QStringLiteral("Address or file:"), sourceRow);
    m_interval = NewIntervalBox(this);
    form->addRow(QStringLiteral("Refresh:"), m_interval);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(m_collection, &QComboBox::currentIndexChanged, this, &AddPlaylistDialog::collectionChosen);
    connect(m_browse, &QPushButton::clicked, this, &AddPlaylistDialog::btnBrowseClick);
    connect(buttons, &QDialogButtonBox::accepted, this, &AddPlaylistDialog::btnOkClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    SkinEngine::SetUp(this, global.SkinPath);
}

void AddPlaylistDialog::collectionChosen(int index)
{
    const QVariant data = m_collection->itemData(index);
    if (!data.isValid())
        return;
    const PublicPlaylist &p = m_offered.at(data.toInt());
    m_name->setText(p.name);
    m_source->setText(p.address);
    m_interval->setCurrentIndex(intervalIndex(p.interval));
}

QString AddPlaylistDialog::name() const
{
    const QString typed = m_name->text().simplified();
    if (!typed.isEmpty())
        return typed;
    const QString s = source();
    const QString file = IsWebAddress(s) ? QUrl(s).fileName() : QFileInfo(s).fileName();
    const QString base = QFileInfo(file).completeBaseName();
    return base.isEmpty() ? QStringLiteral("Playlist") : base;
}

QString AddPlaylistDialog::source() const
{
    return plainSource(m_source->text());
}

RefreshInterval AddPlaylistDialog::interval() const
{
    return kIntervals[qBound(0, m_interval->currentIndex(), 3)];
}

void AddPlaylistDialog::setSource(const QString &source)
{
    m_source->setText(source);
}

void AddPlaylistDialog::btnBrowseClick()
{
    const QString file =
        Prompter::instance().openFileName(this, QStringLiteral("Playlists (*.m3u *.m3u8 *.pls);;All files (*)"));
    if (!file.trimmed().isEmpty())
        m_source->setText(file.trimmed());
}

void AddPlaylistDialog::btnOkClick()
{
    const QString s = source();
    if (s.isEmpty()) {
        ShowMessage(this, QStringLiteral("Please enter the playlist's address or choose its file."));
        m_source->setFocus();
        return;
    }
    if (!IsWebAddress(s)) {
        const bool looksLikeAddress = s.contains(QLatin1StringView("://"));
        if (looksLikeAddress || !QFileInfo(s).isFile()) {
            ShowMessage(this, looksLikeAddress ? QStringLiteral("Only http:// and https:// addresses can be added.")
                                               : QStringLiteral("The file %1 does not exist.").arg(s));
            m_source->setFocus();
            return;
        }
    }
    accept();
}

ManagePlaylistsDialog::ManagePlaylistsDialog(TGlobal &global, PlaylistStore &store, QWidget *parent)
    : QDialog(parent), m_store(store)
{
    setObjectName(QStringLiteral("ManagePlaylistsDialog"));
    setWindowTitle(QStringLiteral("Manage Playlists"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstPlaylists"));
    m_name = field(QStringLiteral("edtName"), this);
    m_source = field(QStringLiteral("edtSource"), this);
    m_source->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    m_interval = NewIntervalBox(this);
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("labState"));
    m_state->setTextFormat(Qt::PlainText);
    m_state->setWordWrap(true);
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Name:"), m_name);
    form->addRow(QStringLiteral("Address or file:"), m_source);
    form->addRow(QStringLiteral("Refresh:"), m_interval);
    form->addRow(m_state);
    m_save = button(QStringLiteral("btnSave"), QStringLiteral("Save"), this);
    m_refresh = button(QStringLiteral("btnRefresh"), QStringLiteral("Refresh"), this);
    m_remove = button(QStringLiteral("btnRemove"), QStringLiteral("Remove..."), this);
    QPushButton *close = button(QStringLiteral("btnClose"), QStringLiteral("Close"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_save);
    buttons->addWidget(m_refresh);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(m_list, &QListWidget::currentRowChanged, this, &ManagePlaylistsDialog::showCurrent);
    connect(m_save, &QPushButton::clicked, this, [this] { Guarded(this, [this] { btnSaveClick(); }); });
    connect(m_remove, &QPushButton::clicked, this, [this] { Guarded(this, [this] { btnRemoveClick(); }); });
    connect(m_refresh, &QPushButton::clicked, this, &ManagePlaylistsDialog::btnRefreshClick);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    SkinEngine::SetUp(this, global.SkinPath);
    reload();
}

void ManagePlaylistsDialog::reload()
{
    const QString keep = currentId();
    m_store.load();
    const QSignalBlocker block(m_list);
    m_list->clear();
    int row = 0;
    for (const PlaylistInfo &p : m_store.playlists()) {
        auto *item = new QListWidgetItem(p.name, m_list);
        item->setData(Qt::UserRole, p.id);
        if (p.id == keep)
            row = m_list->count() - 1;
    }
    m_list->setCurrentRow(m_list->count() > 0 ? row : -1);
    showCurrent();
}

QString ManagePlaylistsDialog::currentId() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void ManagePlaylistsDialog::showCurrent()
{
    const auto info = m_store.find(currentId());
    for (QWidget *w : std::initializer_list<QWidget *>{m_name, m_source, m_interval, m_save, m_remove, m_refresh})
        w->setEnabled(info.has_value());
    if (!info) {
        m_name->clear();
        m_source->clear();
        m_state->clear();
        return;
    }
    m_name->setText(info->name);
    m_source->setText(info->source);
    m_interval->setCurrentIndex(intervalIndex(info->interval));
    QString state = QStringLiteral("%1 channels, refreshed %2.").arg(info->channels).arg(when(info->refreshed));
    if (!info->error.isEmpty())
        state += QStringLiteral("\nThe last refresh (%1) failed: %2").arg(when(info->tried), info->error);
    m_state->setText(state);
}

void ManagePlaylistsDialog::btnSaveClick()
{
    auto info = m_store.find(currentId());
    if (!info)
        return;
    const QString name = m_name->text().simplified();
    const QString source = plainSource(m_source->text());
    if (name.isEmpty() || source.isEmpty()) {
        ShowMessage(this, QStringLiteral("A playlist needs a name and an address or file."));
        return;
    }
    if (!IsWebAddress(source) && source.contains(QLatin1StringView("://"))) {
        ShowMessage(this, QStringLiteral("Only http:// and https:// addresses can be added."));
        return;
    }
    info->name = name;
    info->source = source;
    info->interval = kIntervals[qBound(0, m_interval->currentIndex(), 3)];
    m_store.update(*info);
    reload();
    emit changed();
}

void ManagePlaylistsDialog::btnRemoveClick()
{
    const auto info = m_store.find(currentId());
    if (!info)
        return;
    if (!AskOkCancel(
            this,
            QStringLiteral("Remove the playlist \"%1\" and its %2 channels?").arg(info->name).arg(info->channels)))
        return;
    m_store.remove(info->id);
    reload();
    emit changed();
}

void ManagePlaylistsDialog::btnRefreshClick()
{
    const QString id = currentId();
    if (!id.isEmpty())
        emit refreshRequested(id);
}

PlaylistEntryDialog::PlaylistEntryDialog(TGlobal &global, const ChannelItem &channel, const QString &group,
                                         QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PlaylistEntryDialog"));
    setWindowTitle(channel.attribute("ChannelName").value_or(QString()));
    auto *form = new QFormLayout;
    const auto row = [&](const QString &label, const QString &text, const char *name) {
        if (text.isEmpty())
            return;
        QLineEdit *edit = field(QString::fromLatin1(name), this);
        edit->setText(text);
        edit->setReadOnly(true);
        edit->setCursorPosition(0);
        edit->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
        form->addRow(label, edit);
    };
    const auto a = [&](const char *key) {
        return channel.attribute(key).value_or(QString());
    };
    row(QStringLiteral("Name:"), a("ChannelName"), "edtName");
    row(QStringLiteral("Stream:"), a("URL"), "edtURL");
    row(QStringLiteral("Group:"), group, "edtGroup");
    row(QStringLiteral("Number:"), a("Number"), "edtNumber");
    row(QStringLiteral("Country:"), a("Co"), "edtCountry");
    row(QStringLiteral("Logo:"), a("Logo"), "edtLogo");
    row(QStringLiteral("Guide id:"), a("ID"), "edtTvgId");
    row(QStringLiteral("Guide name:"), a("TvgName"), "edtTvgName");
    row(QStringLiteral("User agent:"), a("UserAgent"), "edtUserAgent");
    row(QStringLiteral("Referrer:"), a("Referrer"), "edtReferrer");
    row(QStringLiteral("Type:"), a("Ty") == u"2" ? QStringLiteral("Radio") : QStringLiteral("TV"), "edtType");
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("btnClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    SkinEngine::SetUp(this, global.SkinPath);
}
