#pragma once

#include <QLabel>

class QMimeData;

namespace vorlune::gui {

// A draggable action picture of the palette. A drag carries the item's
// object name, by which the action list recognises what was dropped.
class PaletteItem : public QLabel {
    Q_OBJECT
public:
    PaletteItem(int imageIndex, QWidget *parent);
    int imageIndex() const { return m_imageIndex; }
    // Shows the name beside the icon, cut to the item's width (the hint
    // keeps it whole); an empty name shows the icon alone.
    void showName(const QString &name);
    QString shownName() const;

    // What a drag of this item carries.
    QMimeData *createMimeData() const;

    static QString mimeType();
    // The palette item name a drag carries; empty for any other drag.
    static QString droppedName(const QMimeData *data);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    int m_imageIndex;
    QLabel *m_name = nullptr;
    QPoint m_pressAt;
};

} // namespace vorlune::gui
