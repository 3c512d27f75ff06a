#include "tools/testhost/HostReport.h"

#include <objbase.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string Quoted(const std::wstring& s) {
    std::string out = "\"";
    for (char c : Utf8(s)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned char>(c));
                    out += esc;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string Number(long long v) {
    return std::to_string(v);
}
std::string Unsigned(unsigned long long v) {
    return std::to_string(v);
}

std::string JsonEvent(const HostEvent& e) {
    std::string s = "    {";
    if (e.kind == HostEvent::Kind::Post) {
        s += "\"kind\": \"post\", \"message\": " + Unsigned(e.message) + ", \"wParam\": " + Unsigned(e.wParam) +
             ", \"lParam\": " + Number(e.lParam) + ", \"afterNotify\": " + Number(e.afterNotify);
    } else {
        s += "\"kind\": \"notify\", \"wParam\": " + Unsigned(e.wParam) + ", \"tag\": " + Unsigned(e.tag) +
             ", \"bytes\": " + Unsigned(e.bytes) + ", \"sizeField\": " + Unsigned(e.sizeField) +
             ", \"load\": " + Unsigned(static_cast<DWORD>(e.load)) + ", \"messageType\": " + Number(e.messageType) +
             ", \"category\": " + Number(e.category) + ", \"level\": " + Number(e.level) +
             ", \"toastGuid\": " + Quoted(GuidText(e.toastGuid)) + ", \"extra\": " + Unsigned(e.extra) +
             ", \"notifyFlag\": " + Unsigned(e.notifyFlag) + ", \"title\": " + Quoted(e.title) +
             ", \"text\": " + Quoted(e.text);
    }
    return s + "}";
}

std::string Printable(const std::wstring& s) {
    std::string out;
    for (char c : Utf8(s)) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

bool WriteAll(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

}  // namespace

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool WriteJsonReport(const std::wstring& path, const HostRun& run) {
    std::string s = "{\n";
    s += "  \"sievoCommandLine\": " + Quoted(run.sievoCommandLine) + ",\n";
    s += "  \"hostWindow\": " + Number(run.hostWindow) + ",\n";
    s += "  \"toastGuid\": " + Quoted(run.toastGuid) + ",\n";
    s += std::string("  \"started\": ") + (run.started ? "true" : "false") + ",\n";
    s += std::string("  \"timedOut\": ") + (run.timedOut ? "true" : "false") + ",\n";
    s += "  \"sievoExitCode\": " + Unsigned(run.sievoExitCode) + ",\n";
    s += "  \"events\": [";
    for (size_t i = 0; i < run.events.size(); ++i) s += (i ? ",\n" : "\n") + JsonEvent(run.events[i]);
    s += run.events.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return WriteAll(path, s);
}

bool WriteLinesReport(const std::wstring& path, const HostRun& run) {
    std::string s = "sievo " + Printable(run.sievoCommandLine) + "\n";
    int n = 0;
    for (const HostEvent& e : run.events) {
        char head[160];
        if (e.kind == HostEvent::Kind::Post) {
            std::snprintf(head, sizeof head, "post 0x%04X wParam=%llu lParam=%lld after notification %d\n", e.message,
                          static_cast<unsigned long long>(e.wParam), static_cast<long long>(e.lParam), e.afterNotify);
            s += head;
            continue;
        }
        std::snprintf(head, sizeof head, "notify %d load=0x%08lX type=%ld category=%ld level=%ld flag=%lu group=", ++n,
                      static_cast<unsigned long>(e.load), e.messageType, e.category, e.level,
                      static_cast<unsigned long>(e.notifyFlag));
        s += head + Printable(GuidText(e.toastGuid)) + " title=\"" + Printable(e.title) + "\" text=\"" +
             Printable(e.text) + "\"\n";
    }
    char tail[80];
    std::snprintf(tail, sizeof tail, "exit %lu%s\n", static_cast<unsigned long>(run.sievoExitCode),
                  run.timedOut ? " (timed out)" : "");
    return WriteAll(path, s + tail);
}
