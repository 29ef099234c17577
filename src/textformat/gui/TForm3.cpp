#include "textformat/gui/TForm3.h"

namespace vorlune::gui {

TForm3::TForm3(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TForm3"));
    resize(330, 330);
}

} // namespace vorlune::gui
