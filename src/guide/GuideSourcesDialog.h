#pragma once

#include <QDialog>

class GuideService;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// Guide > Guide Sources...: where the guide comes from (the user's sources and those the
// playlists name), when each was last refreshed, how that went and how many of the lists'
// channels it has; add a file or an address, remove one, refresh now.
class GuideSourcesDialog : public QDialog
{
    Q_OBJECT

public:
    GuideSourcesDialog(GuideService &guide, QWidget *parent);

    // What the field holds, as a source: an http(s) address or an existing file; else why not.
    static QString Refusal(const QString &text);

private:
    void fill();
    void add();
    void browse();
    void removeSelected();
    void updateButtons();

    GuideService &m_guide;
    QTreeWidget *m_list;
    QLineEdit *m_address;
    QPushButton *m_add;
    QPushButton *m_remove;
    QLabel *m_why;
};
