#pragma once

#include <string>

// Environment variables for tests, set the way each system's C library wants it, and what
// the tests need to know of the system they run on.
namespace quillstone::testing {

void SetEnvVariable(const std::string& name, const std::string& value);
void UnsetEnvVariable(const std::string& name);

// True when a Windows test program runs under Wine rather than on Windows itself.
bool RunningUnderWine();

}  // namespace quillstone::testing
