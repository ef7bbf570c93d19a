// What the tool finds at the paths a user names, in the user's terms, and the few file operations
// that must never touch the wrong file: reading an input document, checking a trace file, and
// writing an output file without overwriting or following a symbolic link unless asked.
#pragma once

#include <functional>
#include <string>

namespace q9::cli {

// What is at `path`, without following a symbolic link there: "missing", "a file",
// "a directory", "a symbolic link", "a device", "a pipe", "a socket" or "something else".
std::string WhatIsAt(const std::string& path);

// The text of the file `option` names: a file or a pipe (so `<(...)` works). UsageError naming
// the option, the path and what is there otherwise ("no such file", "is a directory, not a
// file", ...).
std::string ReadInputFile(const std::string& path, const std::string& option);

// Checks that `path` can be appended to (an existing file opens for writing, a missing one has a
// writable directory), creating nothing, so that a trace that cannot be written fails at start:
// UsageError naming `option`, the path and the reason otherwise.
void CheckAppendable(const std::string& path, const std::string& option);

// True when `a` and `b` name the same existing file.
bool SameFile(const std::string& a, const std::string& b);

// Raises the UsageError WriteNewFile raises for what is at `target`, before any work.
void CheckNewFileTarget(const std::string& target, bool force, const std::string& option);

// Writes a file through `write`, which is handed a fresh temporary path in the target's
// directory and writes it; then the temporary file takes the target's place. Without `force`
// an existing target (of any kind, a dangling symbolic link included) is a UsageError and is
// left alone; with `force` a file or a symbolic link at the target is replaced (the link itself,
// never the file it points to); a directory is never replaced. The temporary file is removed
// when `write` raises.
void WriteNewFile(const std::string& target, bool force, const std::string& option,
                  const std::function<void(const std::string& temp_path)>& write);

}  // namespace q9::cli
