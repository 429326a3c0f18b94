#include "desktop/windows/installer/steps/file_digest.h"

#include <windows.h>
#include <bcrypt.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/base64.h"
#include "base/files/file.h"
#include "base/logging.h"
#include "base/win/scoped_handle.h"
#include "base/win/system_library.h"
#include "crypto/builtin_sha1.h"

namespace installer {

namespace {

constexpr size_t kBlockSize = 65536;

std::atomic<bool> g_use_system_provider{true};

using OpenAlgorithmProvider = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
using CloseAlgorithmProvider = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, ULONG);
using GetProperty = NTSTATUS(WINAPI*)(BCRYPT_HANDLE, LPCWSTR, PUCHAR, ULONG, ULONG*, ULONG);
using CreateHash =
    NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
using DestroyHash = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE);
using HashData = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using FinishHash = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  return *function != nullptr;
}

// Reads |file| from its start in blocks; false on a read error.
template <typename Consumer>
bool ReadBlocks(base::File* file, Consumer consume) {
  std::vector<char> block(kBlockSize);
  int64_t offset = 0;
  for (;;) {
    int read = file->Read(offset, block.data(), static_cast<int>(block.size()));
    if (read < 0)
      return false;
    if (read == 0)
      return true;
    if (!consume(block.data(), static_cast<size_t>(read)))
      return false;
    offset += read;
  }
}

bool DigestWithSystemProvider(base::File* file, uint8_t digest[kFileDigestLength]) {
  base::win::ScopedModuleHandle bcrypt(base::win::LoadSystemLibrary(L"bcrypt.dll"));
  if (!bcrypt.IsValid())
    return false;
  OpenAlgorithmProvider open_provider;
  CloseAlgorithmProvider close_provider;
  GetProperty get_property;
  CreateHash create_hash;
  DestroyHash destroy_hash;
  HashData hash_data;
  FinishHash finish_hash;
  if (!Resolve(bcrypt.Get(), "BCryptOpenAlgorithmProvider", &open_provider) ||
      !Resolve(bcrypt.Get(), "BCryptCloseAlgorithmProvider", &close_provider) ||
      !Resolve(bcrypt.Get(), "BCryptGetProperty", &get_property) ||
      !Resolve(bcrypt.Get(), "BCryptCreateHash", &create_hash) ||
      !Resolve(bcrypt.Get(), "BCryptDestroyHash", &destroy_hash) ||
      !Resolve(bcrypt.Get(), "BCryptHashData", &hash_data) ||
      !Resolve(bcrypt.Get(), "BCryptFinishHash", &finish_hash)) {
    return false;
  }
  BCRYPT_ALG_HANDLE provider = nullptr;
  if (!BCRYPT_SUCCESS(open_provider(&provider, L"SHA1", nullptr, 0)))
    return false;
  bool done = false;
  DWORD object_length = 0;
  ULONG size = 0;
  if (BCRYPT_SUCCESS(get_property(provider, L"ObjectLength",
                                  reinterpret_cast<PUCHAR>(&object_length),
                                  sizeof(object_length), &size, 0))) {
    std::vector<UCHAR> object(object_length);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCRYPT_SUCCESS(create_hash(provider, &hash, object.data(), object_length, nullptr, 0,
                                   0))) {
      done = ReadBlocks(file,
                        [&](const char* data, size_t length) {
                          return BCRYPT_SUCCESS(
                              hash_data(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data)),
                                        static_cast<ULONG>(length), 0));
                        }) &&
             BCRYPT_SUCCESS(finish_hash(hash, digest, kFileDigestLength, 0));
      destroy_hash(hash);
    }
  }
  close_provider(provider, 0);
  return done;
}

bool DigestWithBuiltInSha1(base::File* file, uint8_t digest[kFileDigestLength]) {
  crypto::BuiltinSHA1 sha1;
  return ReadBlocks(file,
                    [&](const char* data, size_t length) { return sha1.Update(data, length); }) &&
         sha1.Finish(digest, kFileDigestLength);
}

}  // namespace

bool ComputeFileDigest(const base::FilePath& path, uint8_t digest[kFileDigestLength]) {
  base::File file(path, base::File::FLAG_OPEN | base::File::FLAG_READ |
                            base::File::FLAG_SHARE_DELETE);
  if (!file.IsValid())
    return false;
  if (g_use_system_provider.load()) {
    if (DigestWithSystemProvider(&file, digest))
      return true;
    g_use_system_provider.store(false);
  }
  return DigestWithBuiltInSha1(&file, digest);
}

bool CheckFileDigest(const base::FilePath& path, std::string_view expected_base64) {
  uint8_t digest[kFileDigestLength];
  if (!ComputeFileDigest(path, digest))
    return false;
  return base::Base64Encode(std::string_view(reinterpret_cast<const char*>(digest),
                                             kFileDigestLength)) == expected_base64;
}

bool IsSystemDigestProviderInUse() {
  return g_use_system_provider.load();
}

void DisableSystemDigestProvider() {
  g_use_system_provider.store(false);
}

}  // namespace installer
