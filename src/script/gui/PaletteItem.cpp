#include "script/gui/PaletteItem.h"

#include "base/gui/IconList.h"

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>

namespace vorlune::gui {

PaletteItem::PaletteItem(int imageIndex, QWidget *parent) : QLabel(parent), m_imageIndex(imageIndex)
{
    setPixmap(actionIcon(imageIndex).pixmap(24, 24));
    setCursor(Qt::OpenHandCursor);
}

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
