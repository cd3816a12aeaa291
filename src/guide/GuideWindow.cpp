#include "GuideWindow.h"

#include "GuideReminders.h"
#include "GuideService.h"
#include "playlists/LogoCache.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>

namespace {

qint64 startOfLocalDay(int offset)
{
    const QDate day = QDate::currentDate().addDays(offset);
    return day.startOfDay().toSecsSinceEpoch(); // local time, right across a change of clocks
}

QString span(qint64 start, qint64 stop)
{
    const QDateTime s = QDateTime::fromSecsSinceEpoch(start).toLocalTime();
    return QStringLiteral("%1 %2-%3")
        .arg(s.toString(QStringLiteral("ddd d MMM")), s.toString(QStringLiteral("HH:mm")),
             QDateTime::fromSecsSinceEpoch(stop).toLocalTime().toString(QStringLiteral("HH:mm")));
}

} // namespace

GuideWindow::GuideWindow(GuideService &guide, GuideReminders &reminders, QWidget *parent)
    : QWidget(parent, Qt::Window), m_guide(guide), m_reminders(reminders)
{
    setObjectName(QStringLiteral("frmGuide"));
    setWindowTitle(QStringLiteral("Guide"));
    m_day = new QComboBox(this);
    m_day->setObjectName(QStringLiteral("comGuideDay"));
    for (int d = -kPastDays; d <= kFutureDays; ++d) {
        const QString name = d == -1  ? QStringLiteral("Yesterday")
                             : d == 0 ? QStringLiteral("Today")
                             : d == 1 ? QStringLiteral("Tomorrow")
                                      : QDate::currentDate().addDays(d).toString(QStringLiteral("dddd d MMMM"));
        m_day->addItem(name, d);
    }
    auto *now = new QPushButton(QStringLiteral("&Now"), this);
    now->setObjectName(QStringLiteral("btnGuideNow"));
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("edtGuideFind"));
    m_find->setPlaceholderText(QStringLiteral("Find a programme"));
    m_find->setClearButtonEnabled(true);
    m_grid = new GuideGrid(this);
    m_found = new QListWidget(this);
    m_found->setObjectName(QStringLiteral("lstGuideFound"));
    m_found->hide();
    m_details = new QLabel(this);
    m_details->setObjectName(QStringLiteral("labGuideDetails"));
    m_details->setTextFormat(Qt::PlainText);
    m_details->setWordWrap(true);
    m_details->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_details->setMinimumHeight(fontMetrics().height() * 5);

    m_remind = new QPushButton(QStringLiteral("&Remind Me"), this);
    m_remind->setObjectName(QStringLiteral("btnRemind"));
    m_remind->setEnabled(false);

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_day);
    bar->addWidget(now);
    bar->addStretch(1);
    bar->addWidget(m_find);
    auto *middle = new QHBoxLayout;
    middle->addWidget(m_grid, 3);
    middle->addWidget(m_found, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addLayout(middle, 1);
    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("labGuidePicture"));
    m_picture->setFixedSize(fontMetrics().height() * 8, fontMetrics().height() * 5);
    m_picture->setAlignment(Qt::AlignCenter);
    auto *foot = new QHBoxLayout;
    foot->addWidget(m_picture, 0, Qt::AlignTop);
    foot->addWidget(m_details, 1);
    foot->addWidget(m_remind, 0, Qt::AlignTop);
    layout->addLayout(foot);
    resize(960, 560);

    connect(m_day, &QComboBox::activated, this, [this](int index) { showDay(m_day->itemData(index).toInt()); });
    connect(now, &QPushButton::clicked, this, &GuideWindow::showNow);
    connect(m_grid, &GuideGrid::programmePicked, this, &GuideWindow::showDetails);
    connect(m_grid, &GuideGrid::programmePicked, this, &GuideWindow::updateRemind);
    connect(m_remind, &QPushButton::clicked, this, &GuideWindow::toggleReminder);
    connect(m_grid, &GuideGrid::activated, this, [this](const GuideGrid::Picked &p) {
        const qint64 t = QDateTime::currentSecsSinceEpoch();
        // Only what is on the air plays; past programmes need the channel's catch-up.
        if (p.airing.start <= t && t < p.airing.stop && p.row < m_grid->rows().size())
            emit playRequested(m_grid->rows()[p.row]);
    });
    m_findDelay.setSingleShot(true);
    m_findDelay.setInterval(250);
    connect(m_find, &QLineEdit::textChanged, &m_findDelay, qOverload<>(&QTimer::start));
    connect(&m_findDelay, &QTimer::timeout, this, &GuideWindow::search);
    connect(m_found, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        const qint64 start = item->data(Qt::UserRole + 1).toLongLong();
        const int row = int(item->data(Qt::UserRole + 2).toLongLong());
        const qint64 dayStart = QDateTime::fromSecsSinceEpoch(start).date().startOfDay().toSecsSinceEpoch();
        load(dayStart - 3 * 3600, dayStart + 27 * 3600, start, row);
    });
    connect(&m_guide, &GuideService::scheduleChanged, this, [this] { showDay(m_day->currentData().toInt()); });
    auto *close = new QShortcut(QKeySequence::Cancel, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void GuideWindow::setRows(const QList<GuideRow> &rows)
{
    m_grid->setRows(rows);
}

void GuideWindow::showNow()
{
    m_day->setCurrentIndex(kPastDays);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 day = startOfLocalDay(0);
    load(day - 3 * 3600, day + 27 * 3600, now);
}

void GuideWindow::showDay(int offset)
{
    const qint64 day = startOfLocalDay(offset);
    // The same time of day as in view, or now.
    const qint64 inView =
        m_grid->viewStart() > 0 ? m_grid->viewStart() + GuideGrid::kTick / 2 : QDateTime::currentSecsSinceEpoch();
    const qint64 timeOfDay = (inView - startOfLocalDay(0)) % 86400;
    m_day->setCurrentIndex(offset + kPastDays);
    load(day - 3 * 3600, day + 27 * 3600, day + (timeOfDay < 0 ? timeOfDay + 86400 : timeOfDay));
}

void GuideWindow::load(qint64 from, qint64 to, qint64 scrollTo, int pickRow)
{
    const int request = ++m_request;
    const auto show = [this, from, to, scrollTo, pickRow](std::shared_ptr<const GuideSchedule> schedule) {
        m_grid->setSchedule(std::move(schedule), from, to);
        m_grid->scrollToTime(scrollTo);
        if (pickRow >= 0)
            m_grid->pick(pickRow, scrollTo);
        emit loaded();
    };
    // What is on now is in memory already: the grid opens without asking the database.
    if (const std::shared_ptr<const GuideSchedule> now = m_guide.schedule(); now && now->covers(from, to)) {
        show(now);
        return;
    }
    m_guide.requestSchedule(from, to, this, [this, request, show](std::shared_ptr<const GuideSchedule> schedule) {
        if (request == m_request)
            show(std::move(schedule));
    });
}

void GuideWindow::showDetails(const GuideGrid::Picked &picked)
{
    const QString channel = m_grid->rows().value(picked.row).name;
    m_pictureAddress.clear();
    m_picture->clear();
    m_details->setText(
        QStringLiteral("%1\n%2, %3").arg(picked.airing.title, channel, span(picked.airing.start, picked.airing.stop)));
    m_guide.requestDetails(
        picked.channel, picked.airing.start - picked.shift, this, [this, picked, channel](const GuideProgramme &p) {
            const auto now = m_grid->picked();
            if (!now || now->channel != picked.channel || now->airing.start != picked.airing.start || p.channel == 0)
                return;
            m_pictureAddress = p.icon;
            showPicture();
            QStringList lines{
                p.subTitle.isEmpty() ? p.title : p.title + QStringLiteral(" - ") + p.subTitle,
                QStringLiteral("%1, %2").arg(channel, span(p.start + picked.shift, p.stop + picked.shift))};
            QStringList facts;
            if (!p.episode.isEmpty())
                facts.append(QStringLiteral("Episode ") + p.episode);
            if (!p.categories.isEmpty())
                facts.append(p.categories.join(QStringLiteral(", ")));
            if (!p.rating.isEmpty())
                facts.append(QStringLiteral("Rated ") + p.rating);
            if (!facts.isEmpty())
                lines.append(facts.join(QStringLiteral(" · ")));
            if (!p.description.isEmpty())
                lines.append(p.description);
            m_details->setText(lines.join(u'\n'));
        });
}

QString GuideWindow::details() const
{
    return m_details->text();
}

void GuideWindow::search()
{
    const QString text = m_find->text().trimmed();
    if (text.size() < 2) {
        m_found->clear();
        m_found->hide();
        return;
    }
    m_guide.requestSearch(text, this, [this, text](const QList<GuideProgramme> &found) {
        if (text != m_find->text().trimmed())
            return;
        m_found->clear();
        // Each result names a channel of the list, where it has one.
        const std::shared_ptr<const GuideSchedule> schedule = m_guide.schedule();
        QHash<qint64, int> rowOf;
        if (schedule) {
            for (int r = 0; r < m_grid->rows().size(); ++r) {
                if (const qint64 key = schedule->channelOf(m_grid->rows()[r].channel); key && !rowOf.contains(key))
                    rowOf.insert(key, r);
            }
        }
        for (const GuideProgramme &p : found) {
            const int row = rowOf.value(p.channel, -1);
            if (row < 0)
                continue;
            const GuideRow &r = m_grid->rows()[row];
            const qint64 shift = r.channel.shift;
            auto *item = new QListWidgetItem(
                QStringLiteral("%1\n%2, %3").arg(p.title, r.name, span(p.start + shift, p.stop + shift)), m_found);
            item->setData(Qt::UserRole, p.channel);
            item->setData(Qt::UserRole + 1, p.start + shift);
            item->setData(Qt::UserRole + 2, row);
        }
        m_found->setVisible(m_found->count() > 0);
    });
}

void GuideWindow::updateRemind()
{
    const auto p = m_grid->picked();
    const bool future = p && p->airing.start > QDateTime::currentSecsSinceEpoch();
    const bool set = future && m_reminders.contains(m_grid->rows().value(p->row).address, p->airing.start);
    m_remind->setEnabled(future);
    m_remind->setText(set ? QStringLiteral("Forget &Reminder") : QStringLiteral("&Remind Me"));
}

void GuideWindow::toggleReminder()
{
    const auto p = m_grid->picked();
    if (!p || p->row >= m_grid->rows().size())
        return;
    const GuideRow &row = m_grid->rows()[p->row];
    if (m_reminders.contains(row.address, p->airing.start))
        m_reminders.remove(row.address, p->airing.start);
    else if (p->airing.start > QDateTime::currentSecsSinceEpoch())
        m_reminders.add({row.name, row.address, p->airing.title, p->airing.start});
    updateRemind();
}

void GuideWindow::setPictures(LogoCache *cache)
{
    m_pictures = cache;
    if (cache)
        connect(cache, &LogoCache::ready, this, [this](const QString &address) {
            if (address == m_pictureAddress)
                showPicture();
        });
}

void GuideWindow::showPicture()
{
    m_picture->clear();
    const QUrl url(m_pictureAddress);
    if (!m_pictures || !(url.scheme() == u"http" || url.scheme() == u"https"))
        return;
    if (!m_pictures->has(m_pictureAddress)) {
        m_pictures->request(m_pictureAddress);
        return;
    }
    const QPixmap p(m_pictures->fileFor(m_pictureAddress));
    if (!p.isNull())
        m_picture->setPixmap(p.scaled(m_picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

QPixmap GuideWindow::picture() const
{
    return m_picture->pixmap();
}
