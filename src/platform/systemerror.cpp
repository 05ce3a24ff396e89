#include "platform/systemerror.h"

#include <cstring>

namespace SystemError {

QString text(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace SystemError
