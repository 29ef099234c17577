#include "script/gui/ActionLineDelegate.h"

#include "script/ActionCatalogue.h"
#include "script/ArgumentKinds.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>

#include <algorithm>

namespace vorlune::gui {

QString fittedActionLine(const QString &line, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(line) <= width)
        return line;
    const QString block = script::actionLineBlock(line);
    const QString name = line.left(line.size() - block.size());
    // The name keeps a third of the width at least, so the row still says what it does.
    const int nameWidth = std::max(width - metrics.horizontalAdvance(block), width / 3);
    const QString shortName = metrics.elidedText(name, Qt::ElideMiddle, nameWidth);
    return shortName + metrics.elidedText(block, Qt::ElideRight, width - metrics.horizontalAdvance(shortName));
}

void ActionLineDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QWidget *view = item.widget;
    QStyle *style = view ? view->style() : QApplication::style();
    const int textWidth = style->subElementRect(QStyle::SE_ItemViewItemText, &item, view).width();
    // Choices show by their names in the interface language.
    item.text = fittedActionLine(script::shownActionLine(item.text), item.fontMetrics, textWidth - 2);
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, view);
}

QSize ViewWidthDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (const auto *view = qobject_cast<const QAbstractItemView *>(parent()))
        size.setWidth(std::min(size.width(), view->viewport()->width()));
    return size;
}

} // namespace vorlune::gui
