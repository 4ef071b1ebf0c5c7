// The file system calls behind the download file and the settings reader, one implementation per
// platform: following links, taking turns through a lock file, writing a temporary file beside
// the target and putting it in place in one step, and reading a regular file only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zibrolt::platform {

// A descriptor on POSIX, a HANDLE on Windows; kNoFile when none is open.
#ifdef _WIN32
using NativeFile = std::intptr_t;
#else
using NativeFile = int;
#endif
inline constexpr NativeFile kNoFile = -1;

// What a path names: nothing yet, a folder, a regular file or something else (a device, a
// pipe), and for a regular file what its replacement keeps of it.
struct FileState {
  bool exists = false;
  bool directory = false;
  bool regular = false;
  unsigned long owner = 0;
  unsigned long group = 0;
  unsigned mode = 0;
  unsigned long links = 1;  // names the file has (hard links)
  int descriptor = -1;      // this process's own open file the path names (/dev/stdout), or -1
};

// Follows symbolic links to the file a path names, as opening it would. False when the chain
// cannot be followed or the path cannot be looked at; a path naming nothing yet is no failure.
bool ResolveTarget(const std::string& path, std::string& real, FileState& state);
// The state of a path as it is now, links followed. False on any failure but "not there".
bool StateOf(const std::string& path, FileState& state);
// True when this process may write the file and put another one in its place.
bool MayReplace(const std::string& path, const FileState& state);

// Opens a device or pipe for writing where it is: truncated when create, else appended to.
NativeFile OpenInPlace(const std::string& path, bool create);
// A second descriptor for this process's own open file (FileState::descriptor), which shares
// its position, so that what is written joins that stream where it stands.
NativeFile DuplicateOpenFile(int descriptor);

enum class LockAttempt {
  kLocked,       // the lock is ours
  kBusy,         // another run holds it
  kStale,        // the file locked was removed by its last holder: try again at once
  kUnsupported,  // the file system has no locks; the lock file is gone again
  kFailed,       // the lock file cannot be made
};
// One try at the lock file path; *held is its open file when kLocked.
LockAttempt TryLock(const std::string& path, NativeFile* held);
// Removes the lock file, then lets go of it.
void ReleaseLock(const std::string& path, NativeFile& held);

// Removes the temporary files "PREFIX<pid>-..." in path's folder whose process is gone.
void RemoveLeftovers(const std::string& path, const std::string& prefix);
int ProcessId();
// Creates a new file named stem followed by a unique suffix; stem becomes the whole name.
NativeFile CreateTemporary(std::string& stem);
// Gives a new file the owner and permissions of the file it replaces (state), or those a new
// file gets. False when that is refused in a way that must stop the run.
bool KeepAccess(NativeFile file, const FileState& state);

// Copies the extended attributes of the file at path (POSIX ACLs among them) to the new file
// that is to replace it. False when one cannot be read or set: name then holds it and error the
// system's error code. A file system without extended attributes has none to copy.
bool CopyAttributes(const std::string& path, NativeFile to, std::string& name, int& error);

// Writes everything; on failure error holds the system's error code.
bool WriteAll(NativeFile file, const char* data, std::size_t size, int& error);
// Hands every block of a file to sink; false when it cannot be read to its end.
bool ReadWhole(const std::string& path, const std::function<void(std::string_view)>& sink);
// Puts the written bytes on disk and closes the file, which is kNoFile afterwards.
bool SyncAndClose(NativeFile& file, int& error);
// Puts temporary in the place of target in one step, which survives a power cut.
bool ReplaceTarget(const std::string& temporary, const std::string& target, int& error);
// Makes the folder's new entry last where the platform needs that done apart.
void SyncFolder(const std::string& folder);
void CloseFile(NativeFile& file);
void RemoveFile(const std::string& path);

// Which file a path names, as a text that is equal for two paths, or for one path at two
// moments, exactly when they name the same file (its device or volume and its number there);
// empty when the path cannot be looked at.
std::string FileIdentity(const std::string& path);

enum class InputKind { kRegular, kCannotOpen, kNotRegular };
// Opens a regular file for reading without opening anything else (a FIFO, a device);
// *file is open only for kRegular.
InputKind OpenRegularInput(const std::string& path, NativeFile* file);
// Reads up to size bytes: the count, 0 at the end, negative on a read error.
long ReadSome(NativeFile file, char* buffer, std::size_t size);

// Opens a log for appending, created when missing: every write lands whole at its end, also
// when other processes append to the same file at the same time. kNoFile and the system's
// error code in error when it cannot be opened.
NativeFile OpenAppending(const std::string& path, int& error);
// Puts what was written on disk; the file stays open.
bool SyncFile(NativeFile file, int& error);

}  // namespace zibrolt::platform
