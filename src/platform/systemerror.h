#pragma once

#include <QString>

namespace SystemError {
// The system's description of an errno value, for error lines shown to the user.
QString text(int error);
} // namespace SystemError
