// A thin wrapper over the CryptoAPI of ADVAPI32, resolved by name at run
// time. The scanner only hashes (MD5 for the hashed class ids); the cipher
// choice is kept for the callers that construct it with one.
#pragma once

#include <windows.h>
#include <wincrypt.h>

class CCrypt {
public:
    // cipher 0: RC4 with block length 1; any other value: RC2 with block length 8.
    explicit CCrypt(int cipher = 0);
    virtual ~CCrypt();
    CCrypt(const CCrypt&) = delete;
    CCrypt& operator=(const CCrypt&) = delete;

    // True when all fifteen entry points resolved.
    bool Ready() const { return ready_; }
    ALG_ID Cipher() const { return cipher_; }
    DWORD BlockLength() const { return blockLength_; }

    // MD5 digest of `length` bytes into `digest` (16 bytes). Nonzero on success;
    // 0 when not ready, for null data or output, or when CryptoAPI fails.
    BOOL Hash(const void* data, DWORD length, BYTE* digest);

private:
    typedef BOOL(WINAPI* AcquireContextFn)(HCRYPTPROV*, LPCWSTR, LPCWSTR, DWORD, DWORD);
    typedef BOOL(WINAPI* ReleaseContextFn)(HCRYPTPROV, DWORD);
    typedef BOOL(WINAPI* GetProvParamFn)(HCRYPTPROV, DWORD, BYTE*, DWORD*, DWORD);
    typedef BOOL(WINAPI* GenKeyFn)(HCRYPTPROV, ALG_ID, DWORD, HCRYPTKEY*);
    typedef BOOL(WINAPI* GetUserKeyFn)(HCRYPTPROV, DWORD, HCRYPTKEY*);
    typedef BOOL(WINAPI* DestroyKeyFn)(HCRYPTKEY);
    typedef BOOL(WINAPI* DeriveKeyFn)(HCRYPTPROV, ALG_ID, HCRYPTHASH, DWORD, HCRYPTKEY*);
    typedef BOOL(WINAPI* CreateHashFn)(HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*);
    typedef BOOL(WINAPI* DestroyHashFn)(HCRYPTHASH);
    typedef BOOL(WINAPI* HashDataFn)(HCRYPTHASH, const BYTE*, DWORD, DWORD);
    typedef BOOL(WINAPI* GetHashParamFn)(HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD);
    typedef BOOL(WINAPI* ExportKeyFn)(HCRYPTKEY, HCRYPTKEY, DWORD, DWORD, BYTE*, DWORD*);
    typedef BOOL(WINAPI* ImportKeyFn)(HCRYPTPROV, const BYTE*, DWORD, HCRYPTKEY, DWORD, HCRYPTKEY*);
    typedef BOOL(WINAPI* EncryptFn)(HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*, DWORD);
    typedef BOOL(WINAPI* DecryptFn)(HCRYPTKEY, HCRYPTHASH, BOOL, DWORD, BYTE*, DWORD*);

    AcquireContextFn acquireContext_ = nullptr;
    ReleaseContextFn releaseContext_ = nullptr;
    GetProvParamFn getProvParam_ = nullptr;
    GenKeyFn genKey_ = nullptr;
    GetUserKeyFn getUserKey_ = nullptr;
    DestroyKeyFn destroyKey_ = nullptr;
    DeriveKeyFn deriveKey_ = nullptr;
    CreateHashFn createHash_ = nullptr;
    DestroyHashFn destroyHash_ = nullptr;
    HashDataFn hashData_ = nullptr;
    GetHashParamFn getHashParam_ = nullptr;
    ExportKeyFn exportKey_ = nullptr;
    ImportKeyFn importKey_ = nullptr;
    EncryptFn encrypt_ = nullptr;
    DecryptFn decrypt_ = nullptr;

    bool ready_ = false;
    ALG_ID cipher_ = CALG_RC4;
    DWORD blockLength_ = 1;
};
