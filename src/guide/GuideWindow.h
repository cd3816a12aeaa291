#pragma once

#include "GuideGrid.h"

#include <QTimer>
#include <QWidget>

class GuideReminders;
class LogoCache;
class GuideService;
class QPushButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

// Guide > Show Guide: the grid of the list shown, a day picker and "Now", the details of the
// programme picked, and a search through every channel's programmes by title.
class GuideWindow : public QWidget
{
    Q_OBJECT

public:
    GuideWindow(GuideService &guide, GuideReminders &reminders, QWidget *parent);

    void setRows(const QList<GuideRow> &rows);
    // Where programme pictures come from (fetched and kept as channel logos are).
    void setPictures(LogoCache *cache);
    // The picture of the programme whose details are shown; null while there is none.
    QPixmap picture() const;
    // Shows day `offset` (0 today, -1 yesterday, 1 tomorrow...) around the time of day in view.
    void showDay(int offset);
    void showNow();
    GuideGrid *grid() const { return m_grid; }
    QString details() const;

    static constexpr int kPastDays = 1;
    static constexpr int kFutureDays = 13;

signals:
    // A programme on the air was asked for: its channel plays.
    void playRequested(const GuideRow &row);
    void loaded(); // the grid has the programmes of the day asked for

private:
    void load(qint64 from, qint64 to, qint64 scrollTo, int pickRow = -1);
    void showDetails(const GuideGrid::Picked &picked);
    void search();
    void updateRemind();
    void toggleReminder();

    GuideService &m_guide;
    GuideGrid *m_grid;
    QComboBox *m_day;
    QLineEdit *m_find;
    QListWidget *m_found;
    QLabel *m_details;
    QPushButton *m_remind;
    QLabel *m_picture;
    LogoCache *m_pictures = nullptr;
    QString m_pictureAddress; // of the programme shown
    void showPicture();
    GuideReminders &m_reminders;
    QTimer m_findDelay;
    QList<qint64> m_foundKeys;
    int m_request = 0; // the newest schedule asked for; older answers are dropped
};
