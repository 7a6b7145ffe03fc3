#include "SimReport.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace qsrsim {

void report(const std::string &line)
{
    std::cerr << "qsr540-sim: " << line << std::endl;
}

std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

} // namespace qsrsim
