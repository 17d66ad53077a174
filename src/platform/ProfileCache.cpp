#include "platform/ProfileCache.h"

#include <sys/stat.h>

#include <map>

#include "platform/FileSystem.h"

namespace platform {

namespace {

struct TIdentity {
  bool Exists = false;
  unsigned long long Device = 0, Inode = 0, Size = 0;
  long long MTimeSec = 0, MTimeNsec = 0, CTimeSec = 0, CTimeNsec = 0;
  bool operator==(const TIdentity&) const = default;
};

TIdentity IdentityOf(const std::string& resolved) {
  TIdentity id;
#ifdef _WIN32
  struct _stat64 st;
  if (_stat64(resolved.c_str(), &st) != 0) return id;
  id.MTimeSec = st.st_mtime;
  id.CTimeSec = st.st_ctime;
#else
  struct stat st;
  if (stat(resolved.c_str(), &st) != 0) return id;
  id.MTimeSec = st.st_mtim.tv_sec;
  id.MTimeNsec = st.st_mtim.tv_nsec;
  id.CTimeSec = st.st_ctim.tv_sec;
  id.CTimeNsec = st.st_ctim.tv_nsec;
#endif
  id.Exists = true;
  id.Device = static_cast<unsigned long long>(st.st_dev);
  id.Inode = static_cast<unsigned long long>(st.st_ino);
  id.Size = static_cast<unsigned long long>(st.st_size);
  return id;
}

struct TEntry {
  std::shared_ptr<TProfileFile> Profile;
  TIdentity Identity;
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
  const TIdentity now = IdentityOf(ResolvePath(fileName));
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
  const TIdentity now = IdentityOf(ResolvePath(profile->FileName()));
  if (now.Exists)
    Cache()[key] = TEntry{profile, now};
  else
    Cache().erase(key);
}

void ForgetSharedProfiles() {
  Cache().clear();
}

}  // namespace platform
