#include "gif/GIFException.h"

#include <string>

void RaiseGIFError(std::string_view message)
{
    throw GIFException(std::string(message));
}
