#include "base/gui/FitTexts.h"

#include <QPushButton>

namespace vorlune::gui {

void fitButtonTexts(QWidget *window)
{
    for (QPushButton *button : window->findChildren<QPushButton *>()) {
        if (button->text().isEmpty() || button->width() <= 0)
            continue;
        // The theme's style sheet sets the font: a smaller one is set the same
        // way. Buttons styled otherwise (the colour buttons) are left alone.
        const QString own = button->styleSheet();
        const bool shrunk = own.startsWith(QLatin1String("font-size:"));
        if (!own.isEmpty() && !shrunk)
            continue;
        if (!shrunk && button->sizeHint().width() <= button->width())
            continue;
        button->setStyleSheet(QString());
        const qreal base = button->font().pointSizeF();
        for (qreal size = base - 0.5; button->sizeHint().width() > button->width() && size >= base * 0.75; size -= 0.5)
            button->setStyleSheet(QStringLiteral("font-size: %1pt;").arg(size));
        const bool cut = button->sizeHint().width() > button->width();
        if (cut || button->toolTip() == button->text())
            button->setToolTip(cut ? button->text() : QString());
    }
}

} // namespace vorlune::gui
