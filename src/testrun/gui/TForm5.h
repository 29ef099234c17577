#pragma once

#include <QWidget>

namespace vorlune::gui {

// The run settings window: test-run clean-up options and installation.
class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);
};

} // namespace vorlune::gui
