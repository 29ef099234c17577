#pragma once

#include "app/AppState.h"

#include <QMainWindow>
#include <QStringList>

namespace vorlune::gui {

// The main window. It owns the program's global state for the run.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(const QStringList &arguments, QWidget *parent = nullptr);

    app::AppState &state() { return m_state; }
    void refreshTitle();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate(const QStringList &arguments);
    void FormShow();
    void FormClose();

    app::AppState m_state;
    QStringList m_sharedFileList;
    bool m_shown = false;
};

} // namespace vorlune::gui
