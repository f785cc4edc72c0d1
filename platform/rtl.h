// The run-time library's view of the program's arguments. The program's
// entry point hands its argc/argv over first; argument 0 then becomes the
// absolute program path in framework form, whichever folder the program
// was started from.
#pragma once

void RtlSetArgs(int argc, char** argv);
int RtlArgc(void);
char** RtlArgv(void);
// The run-time library's input/output failure: a message and the exit code.
[[noreturn]] void RtlIOError(const char* what, int osError);
