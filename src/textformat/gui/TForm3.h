#pragma once

#include <QWidget>

namespace vorlune::gui {

// The MCPE text format dialog: composes colour and style codes.
class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
};

} // namespace vorlune::gui
