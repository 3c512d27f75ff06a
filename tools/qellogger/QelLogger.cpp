// Our own implementation of the logging component. The scanner creates the
// component by its class id; where no component is registered on the machine
// it registers this one for its own process.
//
// File format: UTF-8 text without byte-order mark, one write per line, in the
// order received. Each line goes straight to WriteFile, so it is in the
// operating system's hands before the caller's next plug-in call: a plug-in
// that kills the process leaves a log ending at the last thing it did. Mode 6
// appends, so the sandboxed children and workers of one scan share
// "SievoSandbox.log" (each line is one append, however many write at once);
// a file that has grown past kMaxLogBytes is started afresh when opened.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>
#include <new>
#include <string>

#include "diag/QelLoggerApi.h"

namespace {

constexpr LONGLONG kMaxLogBytes = 8ll << 20;

// Creates every missing folder above the file.
void CreateParentFolders(const wchar_t* path) {
    std::wstring folder = path;
    size_t slash = folder.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash == 0) return;
    folder.resize(slash);
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
}

class QelLogger final : public IQelLogger {
public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IQelLogger)) {
            *out = static_cast<IQelLogger*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE Open(const wchar_t* path, DWORD /*mode*/) override {
        if (!path || !*path) return E_INVALIDARG;
        CloseFile();
        CreateParentFolders(path);
        constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        file_ = CreateFileW(path, GENERIC_WRITE, kShare, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file_, &size) && size.QuadPart > kMaxLogBytes) SetEndOfFile(file_);
        CloseFile();
        // Append-only: several sandbox workers write the same file at once,
        // and each write must land at its end, not at a position of its own.
        file_ = CreateFileW(path, FILE_APPEND_DATA | SYNCHRONIZE, kShare, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
        if (file_ == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Start() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close() override {
        CloseFile();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE WriteLine(DWORD, DWORD, const wchar_t* line) override {
        if (file_ == INVALID_HANDLE_VALUE || !line) return E_UNEXPECTED;
        char buffer[4 * 1024];
        int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, buffer, sizeof buffer, nullptr, nullptr);
        if (bytes <= 1) return S_FALSE;
        DWORD length = static_cast<DWORD>(bytes - 1);
        // One line per call: a line cut before its line end still ends here.
        if (buffer[length - 1] != '\n' && length + 2 <= sizeof buffer) {
            buffer[length++] = '\r';
            buffer[length++] = '\n';
        }
        DWORD written = 0;
        WriteFile(file_, buffer, length, &written, nullptr);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved16() override { return E_NOTIMPL; }

private:
    ~QelLogger() { CloseFile(); }
    void CloseFile() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }

    std::atomic<ULONG> refs_{1};
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

class QelLoggerFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives for the whole process: counting is not needed.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        QelLogger* logger = new (std::nothrow) QelLogger;
        if (!logger) return E_OUTOFMEMORY;
        HRESULT hr = logger->QueryInterface(iid, out);
        logger->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

QelLoggerFactory g_factory;

}  // namespace

HRESULT RegisterBuiltInQelLogger() {
    static DWORD cookie = 0;
    if (cookie) return S_OK;
    return CoRegisterClassObject(CLSID_QelLogger, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
}
