#pragma once

#include <string>
#include <string_view>

namespace rssvane {

// The pieces of writing a file so that a crash or a full disk leaves the old
// one whole: a new file beside the target, written completely and flushed,
// renamed over it, and the rename made durable through the folder.

// Writes all of text to fd, resuming after interruptions; false on an error
// (errno tells which).
bool WriteAll(int fd, std::string_view text) noexcept;

// The folder that holds path: "." for a bare name, "/" at the root.
std::string FolderOf(const std::string& path);

// Opens a new file for writing next to target, under a name no one else
// uses, with mode (before the umask); -1 when the folder does not let us.
int CreateTemporaryBeside(const std::string& target, std::string& tempPath, unsigned mode = 0666);

// Flushes the folder that holds path, so that a rename in it survives a
// crash; a folder that cannot be flushed has still received the file.
void SyncFolderOf(const std::string& path) noexcept;

}  // namespace rssvane
