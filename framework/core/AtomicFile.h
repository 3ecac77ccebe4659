#pragma once

#include <optional>
#include <string>
#include <string_view>

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);

// Replaces the file with bytes so that a crash or failure at any point leaves either
// the old file complete or the new one: the bytes go to a temporary file in the same
// folder, which is flushed and renamed over the old one. The file keeps its permissions;
// a symbolic link keeps pointing at its target, which is replaced. A file without its
// owner's write permission is never replaced, whoever runs the program.
// Raises EFCreateError naming the path and the system's reason.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// Where a write to path really lands: symbolic links followed to their final target.
std::string ResolveSymlinks(const std::string& path);
