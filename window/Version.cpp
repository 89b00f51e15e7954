#include "Version.h"

#ifndef VEKTAMON_VERSION
#define VEKTAMON_VERSION ""
#endif

std::string ProgramVersion()
{
    return VEKTAMON_VERSION;
}
