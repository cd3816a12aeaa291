#pragma once

#include "GuideSchedule.h"

#include <QAbstractScrollArea>

#include <memory>
#include <optional>

// A channel row of the guide grid.
struct GuideRow
{
    QString name;
    QString address;
    ListChannel channel;
    QString logoFile = {}; // the channel's logo, where it is on disk already
};

// The guide as a grid: channels as rows (in the list's order), time as columns in 30-minute
// ticks, a line at now. Only the rows and times in view are drawn, so that a list of 10,000
// channels scrolls as fast as one of ten. The wheel and Left/Right move in time, Up/Down and
// the Page keys through the channels, Home goes to now; a click picks a programme, Enter or a
// double click asks for it to be played.
class GuideGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit GuideGrid(QWidget *parent = nullptr);

    void setRows(const QList<GuideRow> &rows);
    // What is known of [from, to), for the rows' channels.
    void setSchedule(std::shared_ptr<const GuideSchedule> schedule, qint64 from, qint64 to);
    const QList<GuideRow> &rows() const { return m_rows; }

    // The time at the left edge of the programmes, and going there.
    qint64 viewStart() const { return m_viewStart; }
    void scrollToTime(qint64 when);
    void scrollToRow(int row);
    int firstVisibleRow() const;

    struct Picked
    {
        int row = -1;
        qint64 channel = 0; // the guide channel's key
        Airing airing;      // in the row's time (the guide's moved by the channel's shift)
        qint64 shift = 0;
    };
    std::optional<Picked> picked() const { return m_picked; }
    // Picks the programme on `row` that runs at `when` (false where there is none).
    bool pick(int row, qint64 when);
    // Where a programme is drawn (for tests and tooltips); empty when out of view.
    QRect programmeRect(int row, const Airing &airing) const;

    static constexpr int kPixelsPerMinute = 4;
    static constexpr qint64 kTick = 30 * 60;

signals:
    void programmePicked(const GuideGrid::Picked &programme);
    void activated(const GuideGrid::Picked &programme);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int rowHeight() const;
    int nameWidth() const;
    int xOf(qint64 when) const;
    std::optional<Picked> at(const QPoint &pos) const;
    // What is on the row at `when`, in the row's time.
    std::optional<Picked> onRow(int row, qint64 when) const;
    void updateBars();
    void setPicked(const std::optional<Picked> &p);

    QList<GuideRow> m_rows;
    QList<qint64> m_keys; // the guide channel of each row; 0: none
    std::shared_ptr<const GuideSchedule> m_schedule;
    qint64 m_from = 0;
    qint64 m_to = 0;
    qint64 m_viewStart = 0;
    std::optional<Picked> m_picked;
};
