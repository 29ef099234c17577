#pragma once

#include <QWidget>

namespace vorlune::gui {

// The bar right of the tree panel: dragging it changes the panel's width
// between the given limits.
class PanelSplitter : public QWidget {
    Q_OBJECT
public:
    PanelSplitter(QWidget *panel, int minimum, int maximum, QWidget *parent);

Q_SIGNALS:
    void moved();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QWidget *m_panel;
    int m_minimum;
    int m_maximum;
    int m_grabOffset = 0;
};

} // namespace vorlune::gui
