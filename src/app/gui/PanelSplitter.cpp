#include "app/gui/PanelSplitter.h"

#include <QMouseEvent>

namespace vorlune::gui {

PanelSplitter::PanelSplitter(QWidget *panel, int minimum, int maximum, QWidget *parent)
    : QWidget(parent), m_panel(panel), m_minimum(minimum), m_maximum(maximum)
{
    setCursor(Qt::SplitHCursor);
}

void PanelSplitter::mousePressEvent(QMouseEvent *event) { m_grabOffset = int(event->position().x()); }

void PanelSplitter::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const int wanted = int(mapToParent(event->position()).x()) - m_grabOffset;
    const int width = std::clamp(wanted, m_minimum, m_maximum);
    if (width != m_panel->width()) {
        m_panel->resize(width, m_panel->height());
        Q_EMIT moved();
    }
}

} // namespace vorlune::gui
