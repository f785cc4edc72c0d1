// File-system services that take framework paths ('\' separators): the one
// place where such a path becomes a host path for the file system. Each
// call is one system call (or a short walk); on failure errno tells why.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

enum class PathKind { None, File, Folder, Link, Other };

struct PathStatus {
  PathKind kind = PathKind::None;  // None: the status cannot be read
  int64_t size = -1;
};

// The status of what the path names, symbolic links followed.
PathStatus StatPath(std::string_view path);
// The status of the path itself: a symbolic link reports Link.
PathStatus StatLink(std::string_view path);
// The status of what an open stream reads or writes.
PathStatus StatStream(FILE* stream);

// Every name in the folder, "." and ".." included, in the order the host
// lists them; false when the folder cannot be listed.
bool ListFolder(std::string_view folder, std::vector<std::string>& names);

enum class MakeFolderResult { Made, MissingParent, Failed };
// Makes one folder; MissingParent when a folder above it is missing.
MakeFolderResult MakeFolder(std::string_view path);

bool ChangeFolder(std::string_view path);
bool RemoveFile(std::string_view path);
bool RenameFile(std::string_view from, std::string_view to);

// Reads up to length bytes at offset of an open stream without moving the
// stream or dropping its buffer; the count read (short only at the end), or
// -1.
int64_t ReadAt(FILE* stream, uint64_t offset, void* buffer, uint64_t length);

}  // namespace plat
