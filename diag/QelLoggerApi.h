// The logging component's interface as the scanner calls it. Only the slots
// the scanner uses are named; the others exist so that the table has the
// component's shape.
#pragma once

#include <windows.h>
#include <unknwn.h>

// {94862986-87FD-427B-9044-35189BBAB078}
constexpr CLSID CLSID_QelLogger = {0x94862986, 0x87FD, 0x427B, {0x90, 0x44, 0x35, 0x18, 0x9B, 0xBA, 0xB0, 0x78}};
// {35A0DBB9-1E74-453D-8DC1-130AF6B3C98A}
constexpr IID IID_IQelLogger = {0x35A0DBB9, 0x1E74, 0x453D, {0x8D, 0xC1, 0x13, 0x0A, 0xF6, 0xB3, 0xC9, 0x8A}};

constexpr DWORD kQelLogModeScan = 6;

struct IQelLogger : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Open(const wchar_t* path, DWORD mode) = 0;  // slot 4
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;
    virtual HRESULT STDMETHODCALLTYPE Start() = 0;  // slot 14
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;  // slot 15
    virtual HRESULT STDMETHODCALLTYPE Reserved16() = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteLine(DWORD level, DWORD flags, const wchar_t* line) = 0;  // slot 17
};

// Registers the built-in implementation of the component for this process.
// Used when the machine has no registered logging component of its own.
HRESULT RegisterBuiltInQelLogger();
