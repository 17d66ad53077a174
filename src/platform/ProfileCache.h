#pragma once

#include <memory>
#include <string>

#include "platform/ProfileFile.h"

// Profile files that are opened and closed by every operation of a busy
// caller (a project's Files.ini is, hundreds of times in a load) are parsed
// once and kept. A kept copy is used again only while the file on disk is the
// one it was read from (same size, modification time and file identity);
// anything written through it is on disk before the caller's operation ends.
namespace platform {

// The shared parsed copy of a profile file. Throws as TProfileFile does.
std::shared_ptr<TProfileFile> OpenSharedProfile(const std::string& fileName);

// Writes what changed (TProfileFile::UpdateFile) and records the new state of
// the file. On failure the kept copy is dropped, so the next open reads the
// file as it really is, and the error is raised.
void UpdateSharedProfile(const std::shared_ptr<TProfileFile>& profile);

// Drops every kept copy (a file changed behind the program's back, tests).
void ForgetSharedProfiles();

}  // namespace platform
