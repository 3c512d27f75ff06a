// Owners for the Win32 handles the program holds: each closes its handle when
// it goes out of scope, so no early return can leak one.
#pragma once

#include <windows.h>

#include <utility>

class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : key_(key) {}
    ~RegKey() { Close(); }
    RegKey(RegKey&& o) noexcept : key_(o.Release()) {}
    RegKey& operator=(RegKey&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    LONG Open(HKEY parent, const wchar_t* path, REGSAM access) {
        Close();
        return RegOpenKeyExW(parent, path, 0, access, &key_);
    }
    // disposition receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
    LONG Create(HKEY parent, const wchar_t* path, REGSAM access, DWORD* disposition = nullptr) {
        Close();
        return RegCreateKeyExW(parent, path, 0, nullptr, 0, access, nullptr, &key_, disposition);
    }
    void Close() { Reset(nullptr); }
    void Reset(HKEY key) {
        if (key_) RegCloseKey(key_);
        key_ = key;
    }
    HKEY Release() { return std::exchange(key_, nullptr); }
    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

private:
    HKEY key_ = nullptr;
};

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) Reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    void Reset(HANDLE h = nullptr) {
        if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
        h_ = h;
    }
    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ && h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_ = nullptr;
};

class UniqueModule {
public:
    UniqueModule() = default;
    explicit UniqueModule(HMODULE m) : m_(m) {}
    ~UniqueModule() { Reset(); }
    UniqueModule(const UniqueModule&) = delete;
    UniqueModule& operator=(const UniqueModule&) = delete;

    void Reset(HMODULE m = nullptr) {
        if (m_) FreeLibrary(m_);
        m_ = m;
    }
    // Gives the module up without freeing it (a faulting plug-in stays loaded).
    HMODULE Release() { return std::exchange(m_, nullptr); }
    HMODULE Get() const { return m_; }
    explicit operator bool() const { return m_ != nullptr; }

private:
    HMODULE m_ = nullptr;
};

// Minimal owning pointer for COM interfaces.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};
