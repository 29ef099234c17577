#include "script/gui/TForm2.h"

namespace vorlune::gui {

TForm2::TForm2(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TForm2"));
    resize(307, 126);
}

} // namespace vorlune::gui
