#pragma once

#include <QStyledItemDelegate>

namespace vorlune::gui {

// Rows never wider than their list: a long text is elided where it is drawn
// instead of scrolling sideways. The item keeps its whole text.
class ViewWidthDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// Draws an action line within its list's width: when the line is too long,
// the action's name gives way first (elided in the middle), so the typed
// message shows from its start. The hint shows the whole line.
class ActionLineDelegate : public ViewWidthDelegate {
public:
    using ViewWidthDelegate::ViewWidthDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// The text drawn for `line` in `width` pixels of `metrics`.
QString fittedActionLine(const QString &line, const QFontMetrics &metrics, int width);

} // namespace vorlune::gui
