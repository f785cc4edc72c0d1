// The run-time library's argument list and its input/output failure.
#include "platform/rtl.h"

#include "platform/kernel.h"
#include "platform/user.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<char*> args{nullptr};
std::string programPath;
}  // namespace

void RtlSetArgs(int argc, char** argv) {
  args.assign(argv, argv + argc);
  programPath = plat::ProgramPath();
  if (args.empty()) args.push_back(nullptr);
  if (!programPath.empty()) args[0] = programPath.data();
  args.push_back(nullptr);
}

int RtlArgc(void) { return args.empty() ? 0 : static_cast<int>(args.size()) - 1; }
char** RtlArgv(void) { return args.data(); }

void RtlIOError(const char* what, int osError) {
  char text[512];
  std::snprintf(text, sizeof text, "Runtime error %d: %s (%s)", osError, what ? what : "", std::strerror(osError));
  MessageBoxA(nullptr, text, "Error", MB_OK | MB_ICONERROR);
  plat::Exit(osError ? (osError & 0xFF) : 1);
}
