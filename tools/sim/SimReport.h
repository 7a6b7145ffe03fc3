#pragma once

#include <string>

namespace qsrsim {

// One diagnostic line on stderr, behind the program's name.
void report(const std::string &line);

// "what: " and the text for the current errno; call it before anything else can change errno.
std::string systemError(const std::string &what);

} // namespace qsrsim
