#include "script/gui/TForm4.h"

namespace vorlune::gui {

TForm4::TForm4(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TForm4"));
    resize(360, 130);
}

} // namespace vorlune::gui
