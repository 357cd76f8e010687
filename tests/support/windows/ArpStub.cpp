// Stands in for the system's ARP tool in a Wine prefix used by the tests: it records its command
// line in arp-calls.log beside itself, one line per start, and touches no ARP cache.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  char self[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string log(self, length);
  log = log.substr(0, log.find_last_of("\\/") + 1) + "arp-calls.log";
  std::FILE* file = std::fopen(log.c_str(), "ab");
  if (file == nullptr) return 1;
  for (int i = 1; i < argc; ++i) std::fprintf(file, i == 1 ? "%s" : " %s", argv[i]);
  std::fputs("\n", file);
  std::fclose(file);
  return 0;
}
