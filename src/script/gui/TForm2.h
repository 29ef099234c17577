#pragma once

#include <QWidget>

namespace vorlune::gui {

// The event dialog: adds, changes or duplicates an event of the script.
class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
};

} // namespace vorlune::gui
