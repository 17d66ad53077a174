#include "platform/ProfileCache.h"

#include <map>

#include "platform/FileSystem.h"

namespace platform {

namespace {

struct TEntry {
  std::shared_ptr<TProfileFile> Profile;
  TFileIdentity Identity;
};

std::map<std::string, TEntry>& Cache() {
  static std::map<std::string, TEntry> cache;
  return cache;
}

std::string KeyOf(const std::string& fileName) {
  return ExpandFileName(ResolvePath(fileName));
}

}  // namespace

std::shared_ptr<TProfileFile> OpenSharedProfile(const std::string& fileName) {
  const std::string key = KeyOf(fileName);
  const TFileIdentity now = FileIdentity(ResolvePath(fileName));
  auto& cache = Cache();
  auto it = cache.find(key);
  // A file that does not exist is never kept: it may appear at any time, and
  // an empty profile costs nothing to make.
  if (it != cache.end() && now.Exists && it->second.Identity == now && !it->second.Profile->Modified() &&
      it->second.Profile->FileName() == fileName)
    return it->second.Profile;
  auto profile = std::make_shared<TProfileFile>(fileName);
  if (now.Exists)
    cache[key] = TEntry{profile, now};
  else
    cache.erase(key);
  return profile;
}

void UpdateSharedProfile(const std::shared_ptr<TProfileFile>& profile) {
  const std::string key = KeyOf(profile->FileName());
  try {
    profile->UpdateFile();
  } catch (...) {
    Cache().erase(key);
    throw;
  }
  const TFileIdentity now = FileIdentity(ResolvePath(profile->FileName()));
  if (now.Exists)
    Cache()[key] = TEntry{profile, now};
  else
    Cache().erase(key);
}

void ForgetSharedProfiles() {
  Cache().clear();
}

}  // namespace platform
