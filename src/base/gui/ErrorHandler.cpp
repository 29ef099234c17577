#include "base/gui/ErrorHandler.h"

#include "base/Error.h"
#include "base/Messages.h"

#include <exception>

namespace vorlune::gui {

void showCurrentException()
{
    try {
        throw;
    } catch (const Error &error) {
        Messages::show(error.text());
    } catch (const std::exception &error) {
        Messages::show(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        Messages::show(QStringLiteral("Unexpected error"));
    }
}

} // namespace vorlune::gui
