#pragma once

#include <QWidget>

namespace vorlune::gui {

// The action argument dialog: enters the argument values of an action.
class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
};

} // namespace vorlune::gui
