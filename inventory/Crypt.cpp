#include "inventory/Crypt.h"

#include "diag/ScanLog.h"

namespace {

template <class Fn>
bool Resolve(HMODULE module, const char* name, Fn* out) {
    *out = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    return *out != nullptr;
}

constexpr DWORD kMd5Bytes = 16;

// Each digest acquires and releases its own provider context, and releasing
// the last context may unload the provider's DLL; loading it again costs
// more than the digest itself. Keeping it mapped for the process makes the
// release cheap.
void KeepProviderLoaded() {
    static const HMODULE provider = LoadLibraryW(L"rsaenh.dll");
    (void)provider;
}

}  // namespace

CCrypt::CCrypt(int cipher) {
    if (cipher != 0) {
        cipher_ = CALG_RC2;
        blockLength_ = 8;
    }
    // ADVAPI32 is already mapped in every process that links it; we only look it up.
    HMODULE advapi = GetModuleHandleW(L"ADVAPI32.DLL");
    bool all = true;
    all &= Resolve(advapi, "CryptAcquireContextW", &acquireContext_);
    all &= Resolve(advapi, "CryptReleaseContext", &releaseContext_);
    all &= Resolve(advapi, "CryptGetProvParam", &getProvParam_);
    all &= Resolve(advapi, "CryptGenKey", &genKey_);
    all &= Resolve(advapi, "CryptGetUserKey", &getUserKey_);
    all &= Resolve(advapi, "CryptDestroyKey", &destroyKey_);
    all &= Resolve(advapi, "CryptDeriveKey", &deriveKey_);
    all &= Resolve(advapi, "CryptCreateHash", &createHash_);
    all &= Resolve(advapi, "CryptDestroyHash", &destroyHash_);
    all &= Resolve(advapi, "CryptHashData", &hashData_);
    all &= Resolve(advapi, "CryptGetHashParam", &getHashParam_);
    all &= Resolve(advapi, "CryptExportKey", &exportKey_);
    all &= Resolve(advapi, "CryptImportKey", &importKey_);
    all &= Resolve(advapi, "CryptEncrypt", &encrypt_);
    all &= Resolve(advapi, "CryptDecrypt", &decrypt_);
    ready_ = all;
    if (ready_) KeepProviderLoaded();
}

CCrypt::~CCrypt() = default;

BOOL CCrypt::Hash(const void* data, DWORD length, BYTE* digest) {
    if (!ready_ || !data || !digest) return FALSE;
    ZeroMemory(digest, kMd5Bytes);

    HCRYPTPROV provider = 0;
    if (!acquireContext_(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return FALSE;
    HCRYPTHASH hash = 0;
    if (!createHash_(provider, CALG_MD5, 0, 0, &hash)) {
        releaseContext_(provider, 0);
        return FALSE;
    }
    BOOL ok = FALSE;
    if (!hashData_(hash, static_cast<const BYTE*>(data), length, 0)) {
        WriteLog(L"Error %x during CryptHashData!\n", GetLastError());
    } else {
        DWORD size = kMd5Bytes;
        if (!getHashParam_(hash, HP_HASHVAL, digest, &size, 0))
            WriteLog(L"Error %x during CryptGetHashParam!\n", GetLastError());
        else
            ok = TRUE;
    }
    destroyHash_(hash);
    releaseContext_(provider, 0);
    return ok;
}
