#include "base/gui/IconList.h"

#include <QPixmap>
#include <array>

namespace vorlune::gui {

namespace {

template <size_t Count>
std::array<QIcon, Count> loadIcons(const QString &pattern, int size)
{
    std::array<QIcon, Count> loaded;
    for (size_t i = 0; i < Count; ++i) {
        const QPixmap pixmap(pattern.arg(i, 2, 10, QLatin1Char('0')));
        // An id the catalogue does not use has no picture.
        if (!pixmap.isNull())
            loaded[i] = QIcon(pixmap.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    return loaded;
}

template <size_t Count>
QIcon pick(const std::array<QIcon, Count> &icons, int index)
{
    return index >= 0 && size_t(index) < Count ? icons[size_t(index)] : QIcon();
}

} // namespace

QIcon mainIcon(int index)
{
    static const auto icons = loadIcons<16>(QStringLiteral(":/icons/main%1.png"), 16);
    return pick(icons, index);
}

QIcon eventIcon(int index)
{
    static const auto icons = loadIcons<9>(QStringLiteral(":/icons/event%1.png"), 16);
    return pick(icons, index);
}

QIcon actionIcon(int index)
{
    constexpr int kFirstCondition = 99;
    if (index >= kFirstCondition) {
        static const QIcon condition(QStringLiteral(":/icons/condition.png"));
        return condition;
    }
    static const auto icons = loadIcons<31>(QStringLiteral(":/icons/action%1.png"), 24);
    return pick(icons, index);
}

} // namespace vorlune::gui
