// The C runtime's copy of the environment, which getenv reads (in capstan.dll too: both use
// the same C runtime DLL). An empty value removes the variable.
#include <stdlib.h>
#include <windows.h>

#include "tests/support/Environment.h"

namespace quillstone::testing {

void SetEnvVariable(const std::string& name, const std::string& value) {
  ::_putenv_s(name.c_str(), value.c_str());
}

void UnsetEnvVariable(const std::string& name) {
  ::_putenv_s(name.c_str(), "");
}

// Wine's ntdll exports its version; Windows' does not.
bool RunningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace quillstone::testing
