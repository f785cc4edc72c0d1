// File-system services over POSIX.
#include "platform/files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/kernel.h"

namespace plat {

namespace {
PathStatus StatusOf(const struct stat& st) {
  PathStatus status;
  status.size = static_cast<int64_t>(st.st_size);
  if (S_ISREG(st.st_mode)) status.kind = PathKind::File;
  else if (S_ISDIR(st.st_mode)) status.kind = PathKind::Folder;
  else if (S_ISLNK(st.st_mode)) status.kind = PathKind::Link;
  else status.kind = PathKind::Other;
  return status;
}
}  // namespace

PathStatus StatPath(std::string_view path) {
  struct stat st{};
  if (stat(HostPath(path).c_str(), &st) != 0) return {};
  return StatusOf(st);
}

PathStatus StatLink(std::string_view path) {
  struct stat st{};
  if (lstat(HostPath(path).c_str(), &st) != 0) return {};
  return StatusOf(st);
}

PathStatus StatStream(FILE* stream) {
  struct stat st{};
  if (!stream || fstat(fileno(stream), &st) != 0) return {};
  return StatusOf(st);
}

bool ListFolder(std::string_view folder, std::vector<std::string>& names) {
  DIR* dir = opendir(HostPath(folder).c_str());
  if (!dir) return false;
  while (const dirent* e = readdir(dir)) names.emplace_back(e->d_name);
  closedir(dir);
  return true;
}

MakeFolderResult MakeFolder(std::string_view path) {
  if (mkdir(HostPath(path).c_str(), 0777) == 0) return MakeFolderResult::Made;
  return errno == ENOENT || errno == ENOTDIR ? MakeFolderResult::MissingParent : MakeFolderResult::Failed;
}

bool ChangeFolder(std::string_view path) { return chdir(HostPath(path).c_str()) == 0; }

bool RemoveFile(std::string_view path) { return std::remove(HostPath(path).c_str()) == 0; }

bool RenameFile(std::string_view from, std::string_view to) {
  return std::rename(HostPath(from).c_str(), HostPath(to).c_str()) == 0;
}

int64_t ReadAt(FILE* stream, uint64_t offset, void* buffer, uint64_t length) {
  if (!stream || offset > uint64_t(INT64_MAX)) return -1;
  const int fd = fileno(stream);
  auto* to = static_cast<unsigned char*>(buffer);
  uint64_t done = 0;
  // pread may return less than asked (a signal, a huge request): go on
  // until the end of the file.
  while (done < length) {
    const ssize_t n = pread(fd, to + done, static_cast<size_t>(length - done), static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<uint64_t>(n);
  }
  return static_cast<int64_t>(done);
}

}  // namespace plat
