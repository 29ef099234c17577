#include "script/gui/PaletteItem.h"

#include "base/gui/IconList.h"

#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>

#include <algorithm>

namespace vorlune::gui {

PaletteItem::PaletteItem(int imageIndex, QWidget *parent) : QLabel(parent), m_imageIndex(imageIndex)
{
    setPixmap(actionIcon(imageIndex).pixmap(24, 24));
    setCursor(Qt::OpenHandCursor);
}

void PaletteItem::showName(const QString &name)
{
    if (!m_name) {
        m_name = new QLabel(this);
        m_name->setObjectName(QStringLiteral("name"));
        // Presses reach the item, so a drag can start on the name too.
        m_name->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    m_name->setVisible(!name.isEmpty());
    const int left = 28;
    m_name->setGeometry(left, 0, std::max(0, width() - left), height());
    m_name->setText(m_name->fontMetrics().elidedText(name, Qt::ElideRight, m_name->width()));
}

QString PaletteItem::shownName() const { return m_name && m_name->isVisible() ? m_name->text() : QString(); }

QString PaletteItem::mimeType() { return QStringLiteral("application/x-vorlune-palette-item"); }

QString PaletteItem::droppedName(const QMimeData *data)
{
    return data && data->hasFormat(mimeType()) ? QString::fromUtf8(data->data(mimeType())) : QString();
}

QMimeData *PaletteItem::createMimeData() const
{
    auto *data = new QMimeData;
    data->setData(mimeType(), objectName().toUtf8());
    return data;
}

void PaletteItem::mousePressEvent(QMouseEvent *event) { m_pressAt = event->position().toPoint(); }

void PaletteItem::mouseMoveEvent(QMouseEvent *event)
{
    // The drag starts as soon as the item is dragged at all.
    if (!(event->buttons() & Qt::LeftButton) || event->position().toPoint() == m_pressAt)
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(createMimeData());
    drag->setPixmap(pixmap());
    drag->exec(Qt::CopyAction);
}

} // namespace vorlune::gui
