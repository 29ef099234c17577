#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace vorlune::base {

// The signals that would end this program where it stands (interrupt,
// termination, hang-up, quit and the like) come as received() on the
// thread that made this object instead, so that the program ends the way
// it quits, its servers included. A closed pipe is ignored: a write fails
// instead. One object at a time; the old handlers come back when it goes.
class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(QObject *parent = nullptr);
    ~EndSignals() override;

Q_SIGNALS:
    void received(int number);

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace vorlune::base
