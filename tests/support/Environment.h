#pragma once

#include <string>

// Environment variables for tests, set the way each system's C library wants it.
namespace quillstone::testing {

void SetEnvVariable(const std::string& name, const std::string& value);
void UnsetEnvVariable(const std::string& name);

}  // namespace quillstone::testing
