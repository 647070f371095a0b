#include "app/ErrorReporting.h"

#include "util/Presenter.h"

#include <iostream>

namespace ErrorReporting {

void ReportUncaught(const std::string& message) {
    // A copy on stderr, for the cases where nobody looks at the screen.
    std::cerr << "Ferrovane: " << message << '\n';
    try {
        QuillTPU::MessagePresenter().ShowMessage(
            QuillTPU::MessageKind::Error, "Error",
            message.empty() ? std::string("An unexpected error occurred.") : message);
    } catch (...) {
        // Showing the error failed too; stderr already has it.
    }
}

std::string CurrentExceptionMessage() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "An unexpected error occurred.";
    }
}

} // namespace ErrorReporting

TFerrovaneApplication::TFerrovaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TFerrovaneApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ErrorReporting::ReportUncaught(ErrorReporting::CurrentExceptionMessage());
        return false;
    }
}
