#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// The skin engine of one window ("skinmain"): draws the window, its menus and controls in the
// look of a skin file. Controls whose "Tag" property equals DisabledTag keep their own look:
// they paint themselves and never take style from the skin.
class SkinEngine : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString SkinFile READ SkinFile WRITE setSkinFile)
    Q_PROPERTY(bool Active READ Active WRITE setActive)
    Q_PROPERTY(int DisabledTag READ DisabledTag CONSTANT)

public:
    explicit SkinEngine(QWidget *window);

    QString SkinFile() const { return m_skinFile; }
    // Loads the skin at `path` (found without regard to case); while active the window takes
    // it at once. A path that names no readable, valid skin leaves the current skin in force.
    void setSkinFile(const QString &path);

    bool Active() const { return m_active; }
    void setActive(bool active);

    int DisabledTag() const { return 9999; }

    // The style sheet in force on the window (empty while inactive or without a skin).
    QString appliedStyleSheet() const;

    // The set-up every window runs when it is created: its own engine with the chosen skin.
    static SkinEngine *SetUp(QWidget *window, const QString &skinPath);

signals:
    void skinChanged();

private:
    void apply();

    QPointer<QWidget> m_window;
    QString m_skinFile;
    QString m_styleSheet;
    bool m_active = false;
};
