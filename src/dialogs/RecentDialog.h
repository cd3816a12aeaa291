#pragma once

#include <QDialog>

class RecentTitles;
class QPushButton;
class QTreeWidget;

// "Recently Played": the titles heard lately with their time and channel; the selected one can
// be copied or looked up on the web.
class RecentDialog : public QDialog
{
    Q_OBJECT

public:
    RecentDialog(const RecentTitles &titles, QWidget *parent = nullptr);

    void copySelected();
    void searchSelected();
    // Where a web search for `title` goes.
    static QString SearchAddress(const QString &title);

private:
    QString selectedTitle() const;

    QTreeWidget *m_list;
    QPushButton *m_copy;
    QPushButton *m_search;
};
