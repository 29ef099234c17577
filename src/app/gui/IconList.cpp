#include "app/gui/IconList.h"

#include <QPixmap>
#include <array>

namespace vorlune::gui {

QIcon mainIcon(int index)
{
    static const std::array<QIcon, 16> icons = [] {
        std::array<QIcon, 16> loaded;
        for (int i = 0; i < 16; ++i) {
            const QPixmap pixmap(QStringLiteral(":/icons/main%1.png").arg(i, 2, 10, QLatin1Char('0')));
            loaded[size_t(i)] = QIcon(pixmap.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        }
        return loaded;
    }();
    return index >= 0 && index < 16 ? icons[size_t(index)] : QIcon();
}

} // namespace vorlune::gui
