#pragma once
// The net for errors that no handler catches: every handler the window
// connects runs through Guarded, and the application object catches what
// still escapes an event. The error's message is shown and the window goes on.
#include <QAbstractButton>
#include <QApplication>

#include <exception>
#include <string>
#include <utility>

namespace ErrorReporting {

// Shows the error that ended a handler (an error box with its message).
void ReportUncaught(const std::string& message);
// The message of the exception in flight; call only inside a catch block.
std::string CurrentExceptionMessage();

// Runs f; an escaping error is reported instead of leaving the handler.
// Returns false when f ended with an error.
template <typename F> bool RunGuarded(F&& f) {
    try {
        std::forward<F>(f)();
        return true;
    } catch (...) {
        ReportUncaught(CurrentExceptionMessage());
        return false;
    }
}

// A slot for connect(): the handler wrapped in RunGuarded.
template <typename F> auto Guarded(F f) {
    return [f = std::move(f)](auto&&...) { RunGuarded(f); };
}

// Connects a control's signal to a handler of a window or tab, guarded.
template <typename Sender, typename Signal, typename Receiver>
void Connect(Sender* sender, Signal signal, Receiver* receiver, void (Receiver::*handler)()) {
    QObject::connect(sender, signal, receiver,
                     Guarded([receiver, handler] { (receiver->*handler)(); }));
}

// A radio's (or check box's) handler runs when it becomes checked, by the
// user or the program; unchecking runs none.
template <typename Receiver>
void ConnectRadio(QAbstractButton* radio, Receiver* receiver, void (Receiver::*handler)()) {
    QObject::connect(radio, &QAbstractButton::toggled, receiver, [receiver, handler](bool checked) {
        if (checked)
            RunGuarded([receiver, handler] { (receiver->*handler)(); });
    });
}

} // namespace ErrorReporting

// The application object: the last net for errors that escape an event.
class TFerrovaneApplication : public QApplication {
    Q_OBJECT
public:
    TFerrovaneApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
