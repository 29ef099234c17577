#include "testrun/gui/TForm5.h"

namespace vorlune::gui {

TForm5::TForm5(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TForm5"));
    resize(420, 300);
}

} // namespace vorlune::gui
