#include "GuideGrid.h"

#include <QDateTime>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QScrollBar>

#include <algorithm>

GuideGrid::GuideGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("grdGuide"));
    setFocusPolicy(Qt::StrongFocus);
    horizontalScrollBar()->setSingleStep(kTick / 60 * kPixelsPerMinute);
    viewport()->setAutoFillBackground(true);
}

int GuideGrid::rowHeight() const
{
    return fontMetrics().height() * 2 + 6;
}

int GuideGrid::nameWidth() const
{
    return fontMetrics().averageCharWidth() * 22;
}

void GuideGrid::setRows(const QList<GuideRow> &rows)
{
    m_rows = rows;
    m_picked.reset();
    setSchedule(m_schedule, m_from, m_to);
}

void GuideGrid::setSchedule(std::shared_ptr<const GuideSchedule> schedule, qint64 from, qint64 to)
{
    m_schedule = std::move(schedule);
    m_from = from;
    m_to = to;
    m_keys.clear();
    m_keys.reserve(m_rows.size());
    for (const GuideRow &r : std::as_const(m_rows))
        m_keys.append(m_schedule ? m_schedule->channelOf(r.channel) : 0);
    updateBars();
    viewport()->update();
}

void GuideGrid::updateBars()
{
    const int shownRows = qMax(1, (viewport()->height() - rowHeight()) / rowHeight());
    verticalScrollBar()->setRange(0, qMax(0, int(m_rows.size()) - shownRows));
    verticalScrollBar()->setPageStep(shownRows);
    const int width = qMax(0, viewport()->width() - nameWidth());
    const int total = int((m_to - m_from) / 60 * kPixelsPerMinute);
    horizontalScrollBar()->setRange(0, qMax(0, total - width));
    horizontalScrollBar()->setPageStep(width);
    const QSignalBlocker quiet(horizontalScrollBar());
    horizontalScrollBar()->setValue(int((m_viewStart - m_from) / 60 * kPixelsPerMinute));
    m_viewStart = m_from + qint64(horizontalScrollBar()->value()) * 60 / kPixelsPerMinute;
}

void GuideGrid::scrollToTime(qint64 when)
{
    // A little of what came before stays in view.
    horizontalScrollBar()->setValue(int((when - kTick / 2 - m_from) / 60 * kPixelsPerMinute));
    m_viewStart = m_from + qint64(horizontalScrollBar()->value()) * 60 / kPixelsPerMinute;
    viewport()->update();
}

void GuideGrid::scrollToRow(int row)
{
    if (row < verticalScrollBar()->value() || row >= verticalScrollBar()->value() + verticalScrollBar()->pageStep())
        verticalScrollBar()->setValue(row);
}

int GuideGrid::firstVisibleRow() const
{
    return verticalScrollBar()->value();
}

void GuideGrid::scrollContentsBy(int, int)
{
    m_viewStart = m_from + qint64(horizontalScrollBar()->value()) * 60 / kPixelsPerMinute;
    viewport()->update();
}

void GuideGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateBars();
}

int GuideGrid::xOf(qint64 when) const
{
    return nameWidth() + int((when - m_viewStart) * kPixelsPerMinute / 60);
}

QRect GuideGrid::programmeRect(int row, const Airing &airing) const
{
    const int top = rowHeight() * (1 + row - verticalScrollBar()->value());
    const QRect r(QPoint(qMax(nameWidth(), xOf(airing.start)), top),
                  QPoint(qMin(viewport()->width(), xOf(airing.stop)) - 1, top + rowHeight() - 2));
    return r.intersected(viewport()->rect()).isEmpty() || top < rowHeight() ? QRect() : r;
}

void GuideGrid::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    const QPalette &pal = palette();
    const int h = rowHeight();
    const int left = nameWidth();
    const int width = viewport()->width();
    const qint64 viewEnd = m_viewStart + qint64(width - left) * 60 / kPixelsPerMinute;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    // The time ruler.
    p.fillRect(QRect(0, 0, width, h), pal.button());
    p.setPen(pal.color(QPalette::ButtonText));
    for (qint64 t = m_viewStart / kTick * kTick; t < viewEnd; t += kTick) {
        const int x = xOf(t);
        if (x < left)
            continue;
        p.drawLine(x, h - 6, x, h);
        p.drawText(QRect(x + 3, 0, kTick / 60 * kPixelsPerMinute - 4, h), Qt::AlignVCenter | Qt::AlignLeft,
                   QDateTime::fromSecsSinceEpoch(t).toLocalTime().toString(QStringLiteral("HH:mm")));
    }
    const int first = verticalScrollBar()->value();
    for (int row = first, y = h; row < m_rows.size() && y < viewport()->height(); ++row, y += h) {
        const QRect name(0, y, left - 1, h - 1);
        p.fillRect(name, pal.alternateBase());
        int textLeft = 6;
        if (const QString &logo = m_rows[row].logoFile; !logo.isEmpty()) {
            const int side = h - 8;
            QPixmap pixmap;
            const QString key = QStringLiteral("guide-logo:%1:%2").arg(side).arg(logo);
            if (!QPixmapCache::find(key, &pixmap)) {
                pixmap = QIcon(logo).pixmap(QSize(side, side), devicePixelRatioF());
                QPixmapCache::insert(key, pixmap);
            }
            p.drawPixmap(QRect(4, y + 4, side, side), pixmap);
            textLeft = side + 10;
        }
        p.setPen(pal.color(QPalette::Text));
        p.drawText(name.adjusted(textLeft, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   fontMetrics().elidedText(m_rows[row].name, Qt::ElideRight, left - textLeft - 4));
        if (!m_schedule || m_keys.value(row) == 0)
            continue;
        const qint64 shift = m_rows[row].channel.shift;
        const QList<Airing> &list = m_schedule->programmes(m_keys[row]);
        auto it = std::upper_bound(list.cbegin(), list.cend(), m_viewStart - shift,
                                   [](qint64 t, const Airing &a) { return t < a.stop; });
        for (; it != list.cend() && it->start + shift < viewEnd; ++it) {
            const Airing shown{it->start + shift, it->stop + shift, it->title};
            const QRect r = programmeRect(row, shown);
            if (r.isEmpty())
                continue;
            const bool chosen = m_picked && m_picked->row == row && m_picked->airing.start == shown.start;
            const bool onAir = shown.start <= now && now < shown.stop;
            p.fillRect(r, chosen ? pal.highlight() : (onAir ? pal.midlight() : pal.base()));
            p.setPen(pal.color(QPalette::Mid));
            p.drawRect(r);
            p.setPen(pal.color(chosen ? QPalette::HighlightedText : QPalette::Text));
            p.drawText(r.adjusted(4, 2, -3, -2), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                       fontMetrics().elidedText(it->title, Qt::ElideRight, (r.width() - 7) * 2));
        }
    }
    // Now.
    if (now >= m_viewStart && now < viewEnd) {
        p.setPen(QPen(QColor(220, 40, 40), 2));
        p.drawLine(xOf(now), 0, xOf(now), viewport()->height());
    }
}

std::optional<GuideGrid::Picked> GuideGrid::at(const QPoint &pos) const
{
    const int row = verticalScrollBar()->value() + pos.y() / rowHeight() - 1;
    if (pos.y() < rowHeight() || pos.x() < nameWidth() || row < 0 || row >= m_rows.size() || !m_schedule)
        return std::nullopt;
    return onRow(row, m_viewStart + qint64(pos.x() - nameWidth()) * 60 / kPixelsPerMinute);
}

std::optional<GuideGrid::Picked> GuideGrid::onRow(int row, qint64 when) const
{
    if (!m_schedule || row < 0 || row >= m_rows.size() || m_keys.value(row) == 0)
        return std::nullopt;
    const qint64 shift = m_rows[row].channel.shift;
    const NowNext n = m_schedule->at(m_keys[row], when - shift);
    if (!n.now)
        return std::nullopt;
    return Picked{row, m_keys[row], {n.now->start + shift, n.now->stop + shift, n.now->title}, shift};
}

bool GuideGrid::pick(int row, qint64 when)
{
    const std::optional<Picked> p = onRow(row, when);
    if (p)
        setPicked(p);
    return p.has_value();
}

void GuideGrid::setPicked(const std::optional<Picked> &p)
{
    m_picked = p;
    viewport()->update();
    if (p) {
        scrollToRow(p->row);
        if (p->airing.start >= m_viewStart + qint64(horizontalScrollBar()->pageStep()) * 60 / kPixelsPerMinute ||
            p->airing.stop <= m_viewStart)
            scrollToTime(p->airing.start);
        emit programmePicked(*p);
    }
}

void GuideGrid::mousePressEvent(QMouseEvent *event)
{
    if (const auto p = at(event->position().toPoint()))
        setPicked(p);
}

void GuideGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (const auto p = at(event->position().toPoint())) {
        setPicked(p);
        emit activated(*p);
    }
}

void GuideGrid::keyPressEvent(QKeyEvent *event)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const int row = m_picked ? m_picked->row : verticalScrollBar()->value();
    // Up and down keep to the time of the middle of the programme picked.
    const qint64 when = m_picked ? (m_picked->airing.start + m_picked->airing.stop) / 2 : qMax(m_viewStart, now);
    switch (event->key()) {
    case Qt::Key_Left:
        if (!m_picked || !pick(row, m_picked->airing.start - 1))
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() - int(kTick / 60 * kPixelsPerMinute));
        break;
    case Qt::Key_Right:
        if (!m_picked || !pick(row, m_picked->airing.stop))
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(kTick / 60 * kPixelsPerMinute));
        break;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int to = qBound(0, row + (event->key() == Qt::Key_Up ? -1 : 1), int(m_rows.size()) - 1);
        if (!pick(to, when))
            scrollToRow(to);
        break;
    }
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        verticalScrollBar()->triggerAction(event->key() == Qt::Key_PageUp ? QAbstractSlider::SliderPageStepSub
                                                                          : QAbstractSlider::SliderPageStepAdd);
        break;
    case Qt::Key_Home:
        scrollToTime(now);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_picked)
            emit activated(*m_picked);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void GuideGrid::wheelEvent(QWheelEvent *event)
{
    // The wheel moves in time; with Shift (or a sideways wheel) through the channels.
    const QPoint d = event->angleDelta();
    if ((event->modifiers() & Qt::ShiftModifier) || (d.y() == 0 && d.x() != 0))
        verticalScrollBar()->setValue(verticalScrollBar()->value() - (d.y() ? d.y() : d.x()) / 40);
    else
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - d.y() * kPixelsPerMinute * 15 / 120);
    event->accept();
}
