// Small file helpers shared by the platform sources.
#pragma once

#include <sys/types.h>

#include <string>

namespace qavplatform::detail {

// Creates a folder and its parents (mode for the new ones). True when the
// folder exists afterwards.
bool MakeDirs(const std::string& path, mode_t mode, std::string* error);

// Writes the whole content to a temporary file beside `path` and renames it
// over `path`, so a reader sees either the old or the new content.
bool WriteFileAtomic(const std::string& path, const std::string& content, std::string* error);

// Reads a whole file; false when it cannot be opened or read. For the
// system's own files (/proc); the tool set's files go through ReadOwnFile
// (qavplatform/Files.h), which refuses FIFOs, devices and huge files.
bool ReadWholeFile(const std::string& path, std::string* content);

// Letters, digits, '_' and '-' as they are, every other byte as "%XX".
std::string EscapeFileName(const std::string& name);

// The user's home folder: $HOME, else the password database.
std::string HomeDir();

// ${XDG_CONFIG_HOME:-~/.config}, without a trailing slash.
std::string ConfigHome();

// "errno text" helper: "<what>: <strerror(err)>".
std::string ErrnoText(const std::string& what, int err);

} // namespace qavplatform::detail
