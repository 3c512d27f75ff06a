// For tests: runs TestHost.exe (which starts Sievo.exe) and reads back its
// JSON report. Header-only so every end-to-end test can include it.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testhost {

struct Event {
    std::string kind;  // "notify" or "post"
    unsigned long long wParam = 0, tag = 0, bytes = 0, sizeField = 0, load = 0, extra = 0, notifyFlag = 0;
    long long messageType = 0, category = 0, level = 0;
    std::wstring toastGuid, title, text;
    unsigned long long message = 0;
    long long lParam = 0, afterNotify = 0;
};

struct Report {
    bool read = false;  // the report file existed and parsed
    DWORD hostExitCode = 0xFFFFFFFF;
    std::wstring sievoCommandLine, toastGuid;
    long long hostWindow = 0;
    bool started = false, timedOut = false;
    unsigned long long sievoExitCode = 0xFFFFFFFF;
    std::vector<Event> events;

    std::vector<Event> Notifications() const {
        std::vector<Event> out;
        for (const Event& e : events)
            if (e.kind == "notify") out.push_back(e);
        return out;
    }
    std::vector<std::wstring> Texts() const {
        std::vector<std::wstring> out;
        for (const Event& e : events)
            if (e.kind == "notify") out.push_back(e.text);
        return out;
    }
    std::vector<Event> Posts() const {
        std::vector<Event> out;
        for (const Event& e : events)
            if (e.kind == "post") out.push_back(e);
        return out;
    }
};

// ---- a small JSON reader, enough for the report ----

struct Json {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    bool boolean = false;
    long long integer = 0;
    unsigned long long unsignedInteger = 0;
    std::wstring string;
    std::vector<Json> items;
    std::map<std::string, Json> fields;
};

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : s_(text) {}
    bool Parse(Json* out) {
        bool ok = Value(out);
        Blank();
        return ok && i_ == s_.size();
    }

private:
    void Blank() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
    }
    bool Literal(const char* word) {
        size_t n = strlen(word);
        if (s_.compare(i_, n, word) != 0) return false;
        i_ += n;
        return true;
    }
    bool Text(std::string* out) {
        if (i_ >= s_.size() || s_[i_] != '"') return false;
        ++i_;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (i_ >= s_.size()) return false;
            char e = s_[i_++];
            switch (e) {
                case 'n':
                    *out += '\n';
                    break;
                case 'r':
                    *out += '\r';
                    break;
                case 't':
                    *out += '\t';
                    break;
                case 'u': {
                    if (i_ + 4 > s_.size()) return false;
                    unsigned code = static_cast<unsigned>(strtoul(s_.substr(i_, 4).c_str(), nullptr, 16));
                    i_ += 4;
                    *out += static_cast<char>(code);  // the host escapes control characters only
                    break;
                }
                default:
                    *out += e;
                    break;
            }
        }
        if (i_ >= s_.size()) return false;
        ++i_;
        return true;
    }
    static std::wstring Wide(const std::string& s) {
        if (s.empty()) return {};
        int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
        std::wstring out(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), &out[0], n);
        return out;
    }
    bool Value(Json* out) {
        Blank();
        if (i_ >= s_.size()) return false;
        char c = s_[i_];
        if (c == '{') {
            out->type = Json::Object;
            ++i_;
            Blank();
            if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
            for (;;) {
                Blank();
                std::string name;
                if (!Text(&name)) return false;
                Blank();
                if (i_ >= s_.size() || s_[i_++] != ':') return false;
                if (!Value(&out->fields[name])) return false;
                Blank();
                if (i_ < s_.size() && s_[i_] == ',') {
                    ++i_;
                    continue;
                }
                if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
                return false;
            }
        }
        if (c == '[') {
            out->type = Json::Array;
            ++i_;
            Blank();
            if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
            for (;;) {
                out->items.emplace_back();
                if (!Value(&out->items.back())) return false;
                Blank();
                if (i_ < s_.size() && s_[i_] == ',') {
                    ++i_;
                    continue;
                }
                if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
                return false;
            }
        }
        if (c == '"') {
            std::string text;
            if (!Text(&text)) return false;
            out->type = Json::String;
            out->string = Wide(text);
            return true;
        }
        if (Literal("true")) {
            out->type = Json::Bool;
            out->boolean = true;
            return true;
        }
        if (Literal("false")) {
            out->type = Json::Bool;
            return true;
        }
        if (Literal("null")) return true;
        size_t start = i_;
        if (s_[i_] == '-') ++i_;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
        if (i_ == start) return false;
        std::string number = s_.substr(start, i_ - start);
        out->type = Json::Number;
        out->integer = strtoll(number.c_str(), nullptr, 10);
        out->unsignedInteger =
            number[0] == '-' ? static_cast<unsigned long long>(out->integer) : strtoull(number.c_str(), nullptr, 10);
        return true;
    }

    const std::string& s_;
    size_t i_ = 0;
};

inline const Json& Field(const Json& object, const char* name) {
    static const Json none;
    auto it = object.fields.find(name);
    return it == object.fields.end() ? none : it->second;
}

inline bool ReadReport(const std::wstring& path, Report* report) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string text;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) text.append(chunk, got);
    CloseHandle(file);
    Json root;
    if (!JsonParser(text).Parse(&root) || root.type != Json::Object) return false;
    report->sievoCommandLine = Field(root, "sievoCommandLine").string;
    report->toastGuid = Field(root, "toastGuid").string;
    report->hostWindow = Field(root, "hostWindow").integer;
    report->started = Field(root, "started").boolean;
    report->timedOut = Field(root, "timedOut").boolean;
    report->sievoExitCode = Field(root, "sievoExitCode").unsignedInteger;
    for (const Json& j : Field(root, "events").items) {
        Event e;
        e.kind = j.fields.count("kind") ? std::string(Field(j, "kind").string.begin(), Field(j, "kind").string.end())
                                        : std::string();
        e.wParam = Field(j, "wParam").unsignedInteger;
        e.tag = Field(j, "tag").unsignedInteger;
        e.bytes = Field(j, "bytes").unsignedInteger;
        e.sizeField = Field(j, "sizeField").unsignedInteger;
        e.load = Field(j, "load").unsignedInteger;
        e.messageType = Field(j, "messageType").integer;
        e.category = Field(j, "category").integer;
        e.level = Field(j, "level").integer;
        e.toastGuid = Field(j, "toastGuid").string;
        e.extra = Field(j, "extra").unsignedInteger;
        e.notifyFlag = Field(j, "notifyFlag").unsignedInteger;
        e.title = Field(j, "title").string;
        e.text = Field(j, "text").string;
        e.message = Field(j, "message").unsignedInteger;
        e.lParam = Field(j, "lParam").integer;
        e.afterNotify = Field(j, "afterNotify").integer;
        report->events.push_back(e);
    }
    report->read = true;
    return true;
}

// Starts "<bin>\TestHost.exe <hostOptions> --report <file> -- <sievoFlags>"
// and waits for it (and so for Sievo). reportFolder receives the report.
// whileRunning is called every 50 ms (to answer dialogs Sievo shows).
inline Report RunTestHost(const std::wstring& reportFolder, const std::wstring& hostOptions,
                          const std::wstring& sievoFlags, DWORD timeoutMs = 180000,
                          const std::function<void()>& whileRunning = nullptr) {
    Report report;
    wchar_t bin[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, bin, MAX_PATH);
    PathRemoveFileSpecW(bin);
    std::wstring exe = std::wstring(bin) + L"\\TestHost.exe";
    std::wstring json = reportFolder + L"\\host-report.json";
    std::wstring lines = reportFolder + L"\\host-report.txt";
    DeleteFileW(json.c_str());
    std::wstring command = L"\"" + exe + L"\" " + hostOptions + L" --report \"" + json + L"\" --lines \"" + lines +
                           L"\" --timeout " + std::to_wstring(timeoutMs) + L" -- " + sievoFlags;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return report;
    // The host stops Sievo itself at its time limit; this is the last resort.
    DWORD waited = 0;
    while (WaitForSingleObject(pi.hProcess, 50) != WAIT_OBJECT_0) {
        waited += 50;
        if (waited >= timeoutMs + 30000) {
            TerminateProcess(pi.hProcess, 0xDEAD);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
        if (whileRunning) whileRunning();
    }
    GetExitCodeProcess(pi.hProcess, &report.hostExitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ReadReport(json, &report);
    return report;
}

// A visible top-level window of any process with exactly this caption.
inline HWND FindWindowByCaption(const std::wstring& caption) {
    struct Search {
        const std::wstring* caption;
        HWND found;
    } search{&caption, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            Search* s = reinterpret_cast<Search*>(param);
            wchar_t text[512] = {};
            GetWindowTextW(window, text, 512);
            if (!IsWindowVisible(window) || *s->caption != text) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace testhost
