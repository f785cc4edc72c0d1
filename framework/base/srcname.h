// The base name of a source file, for log lines and allocation records.
#pragma once

constexpr const char* SYS_SrcName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  return base;
}

// Source position of a framework log line: "[tag][%s:%d:%s()] ..."
#define SYS_LOGPOS SYS_SrcName(__FILE__), __LINE__, __func__
// The same for a helper that logs on behalf of a framework function: the
// line names that function, not the helper.
#define SYS_LOGPOS_AS(fn) SYS_SrcName(__FILE__), __LINE__, (fn)
