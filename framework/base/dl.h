// Dynamic modules and the framework's function table.
#pragma once

int SYS_DlAddModule(void* handle, const char* name);
void* SYS_FindFunction(const char* name);
