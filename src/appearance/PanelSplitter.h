#pragma once

#include <QPointer>
#include <QWidget>

// A thin bar beside a side panel; dragging it changes the panel's width (the panel keeps
// that width when the window is resized).
class PanelSplitter : public QWidget
{
    Q_OBJECT

public:
    explicit PanelSplitter(QWidget *parent = nullptr);

    void setPanel(QWidget *panel) { m_panel = panel; }
    static constexpr int kMinPanelWidth = 30;

signals:
    void moved();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPointer<QWidget> m_panel;
    int m_grabX = 0;
    int m_startWidth = 0;
    bool m_dragging = false;
};
