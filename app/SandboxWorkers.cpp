#include "app/SandboxWorkers.h"

#include <windows.h>
#include <strsafe.h>

#include <memory>
#include <set>
#include <vector>

#include "app/MarkRecheck.h"
#include "app/ProbeGuard.h"
#include "app/ScanChildren.h"
#include "app/WorkerMessages.h"
#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "diag/ScanLog.h"
#include "inventory/RegistryValues.h"

namespace {

constexpr DWORD kExitWaitMs = 10000;
constexpr DWORD kPipeBytes = 64 * 1024;  // a request or a reply always fits: writing one never waits

struct Worker {
    UniqueHandle process;
    UniqueHandle pipe;  // the scan's end, overlapped
    UniqueHandle replied;
    UniqueHandle written;
    OVERLAPPED read{};
    WorkerReply reply;
    bool busy = false;
    DWORD handedAt = 0;
    std::wstring path;
    std::wstring keyPath;
};

struct Pool {
    std::vector<std::unique_ptr<Worker>> slots;  // null: no worker there yet
    std::vector<UniqueHandle> leaving;           // retired workers on their way out
    std::set<std::wstring> handedOut;            // in lower case
    unsigned started = 0;
};
Pool g_pool;

// A child that died inside the plug-in left the crash marker but never got
// to mark the record as seen: without the mark the sweep at the end of this
// scan would remove the record, and the next scan would run the plug-in
// again instead of skipping it as known bad.
void KeepMarkOfDeadChild(const std::wstring& keyPath) {
    RegKey key;
    if (key.Open(g_ctx.registryRoot, keyPath.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    DWORD bad = 0;
    if (ReadDword(key.Get(), L"isBad", &bad) && bad) WriteDword(key.Get(), L"touch", 1);
}

// The scan's end of a message pipe, and the worker's end made inheritable.
bool MakePipe(UniqueHandle* ours, UniqueHandle* theirs) {
    wchar_t name[64];
    StringCchPrintfW(name, ARRAYSIZE(name), L"\\\\.\\pipe\\Sievo.%u.%u.%u",
                     static_cast<unsigned>(GetCurrentProcessId()), static_cast<unsigned>(GetTickCount()),
                     g_pool.started);
    ours->Reset(CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                 PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, kPipeBytes, kPipeBytes, 0,
                                 nullptr));
    if (!ours->Valid()) return false;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    theirs->Reset(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr));
    if (!theirs->Valid()) return false;
    DWORD mode = PIPE_READMODE_MESSAGE;
    return SetNamedPipeHandleState(theirs->Get(), &mode, nullptr, nullptr) != FALSE;
}

// This program again, with the scan's own flags: the same registry location,
// background mode and host window, notification group and log.
std::unique_ptr<Worker> StartWorker() {
    std::wstring exe, folder;
    if (!ProgramToRunAgain(&exe, &folder)) return nullptr;
    PrepareScanChildren();
    auto worker = std::make_unique<Worker>();
    UniqueHandle theirs;
    if (!MakePipe(&worker->pipe, &theirs)) return nullptr;
    worker->replied.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    worker->written.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!worker->replied.Valid() || !worker->written.Valid()) return nullptr;

    std::wstring commandLine = L"\"" + exe + L"\" " + g_ctx.commandLine + L"/ScanWorker:" +
                               std::to_wstring(reinterpret_cast<ULONG_PTR>(theirs.Get())) + ToastGuidFlag();
    // Only the pipe is handed down: a worker (or a debugger the system starts
    // for a crashed one) holding our standard handles would keep whoever
    // reads our output waiting after we are gone.
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        HANDLE standard = GetStdHandle(which);
        if (standard && standard != INVALID_HANDLE_VALUE) SetHandleInformation(standard, HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    // Our end is not inheritable and the worker's is closed here right after:
    // no other worker holds a pipe end that would outlive its owner.
    // Suspended until it is tied to the scan: it must not outlive the scan.
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
        WriteLog(L"%s: Sandbox worker could not be started (%d)\r\n", kTag, static_cast<int>(GetLastError()));
        return nullptr;
    }
    TieToScan(started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    worker->process.Reset(started.hProcess);
    ++g_pool.started;
    WriteLog(L"%s: Sandbox worker %u started (process %u)\r\n", kTag, g_pool.started,
             static_cast<unsigned>(started.dwProcessId));
    return worker;
}

bool Hand(Worker& worker, const std::wstring& path) {
    WorkerRequest request;
    request.chars = static_cast<uint32_t>(path.size() < kFolderChars ? path.size() : kFolderChars - 1);
    wmemcpy(request.path, path.c_str(), request.chars);
    std::wstring lower = path;
    CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    request.again = g_pool.handedOut.insert(lower).second ? 0 : 1;
    OVERLAPPED write{};
    write.hEvent = worker.written.Get();
    DWORD bytes = 0;
    if (!WriteFile(worker.pipe.Get(), &request, RequestBytes(request.chars), nullptr, &write) &&
        GetLastError() != ERROR_IO_PENDING)
        return false;
    // The pipe holds a whole request; a worker that is gone fails the write.
    if (WaitForSingleObject(write.hEvent, kExitWaitMs) != WAIT_OBJECT_0) CancelIoEx(worker.pipe.Get(), &write);
    if (!GetOverlappedResult(worker.pipe.Get(), &write, &bytes, TRUE) || bytes != RequestBytes(request.chars))
        return false;
    ResetEvent(worker.replied.Get());
    worker.read = OVERLAPPED{};
    worker.read.hEvent = worker.replied.Get();
    worker.reply = WorkerReply{};
    return ReadFile(worker.pipe.Get(), &worker.reply, sizeof worker.reply, nullptr, &worker.read) ||
           GetLastError() == ERROR_IO_PENDING;
}

// The reply, once the worker has sent it or ended.
bool TakeReply(Worker& worker) {
    DWORD bytes = 0;
    if (WaitForSingleObject(worker.replied.Get(), kExitWaitMs) != WAIT_OBJECT_0) {
        CancelIoEx(worker.pipe.Get(), &worker.read);
        GetOverlappedResult(worker.pipe.Get(), &worker.read, &bytes, TRUE);
        return false;
    }
    return GetOverlappedResult(worker.pipe.Get(), &worker.read, &bytes, FALSE) && bytes == sizeof worker.reply &&
           worker.reply.done == kWorkerDone;
}

// "SievoProbing" names a module that is being probed while there is one.
void NoteWhatIsProbed() {
    for (const auto& worker : g_pool.slots)
        if (worker && worker->busy) {
            NoteProbing(worker->path.c_str());
            return;
        }
    NoteProbeDone();
}

void Retire(std::unique_ptr<Worker>& slot) {
    g_pool.leaving.push_back(std::move(slot->process));
    slot.reset();
}

// The module is over: done, or its worker died or was stopped.
void Finish(std::unique_ptr<Worker>& slot, bool stopped) {
    Worker& worker = *slot;
    bool replied = !stopped && TakeReply(worker);
    if (!replied && !stopped) WriteLog(L"%s: Sandbox worker ended while it scanned %s\r\n", kTag, worker.path.c_str());
    worker.busy = false;
    // A worker that finished its run marked the record itself.
    if (!replied || worker.reply.retires == WorkerRetires::ScanException) KeepMarkOfDeadChild(worker.keyPath);
    if (!replied) {
        TerminateProcess(worker.process.Get(), 1);  // gone already, or its pipe is
        WaitForSingleObject(worker.process.Get(), kExitWaitMs);
        CancelIoEx(worker.pipe.Get(), &worker.read);
        DWORD bytes = 0;
        GetOverlappedResult(worker.pipe.Get(), &worker.read, &bytes, TRUE);
        slot.reset();
    } else if (worker.reply.retires != WorkerRetires::No) {
        Retire(slot);
    }
    NoteWhatIsProbed();
}

// Waits until at least one busy worker is done (or has to be stopped).
void WaitForAnyWorker() {
    std::vector<HANDLE> handles;
    std::vector<size_t> owners;
    DWORD wait = INFINITE;
    const DWORD limit = SandboxTimeLimitMs();
    const DWORD now = GetTickCount();
    for (size_t i = 0; i < g_pool.slots.size(); ++i) {
        Worker* worker = g_pool.slots[i].get();
        if (!worker || !worker->busy) continue;
        handles.push_back(worker->replied.Get());
        handles.push_back(worker->process.Get());
        owners.push_back(i);
        owners.push_back(i);
        if (limit != INFINITE) {
            DWORD spent = now - worker->handedAt;
            DWORD left = spent >= limit ? 0 : limit - spent;
            if (left < wait) wait = left;
        }
    }
    if (handles.empty()) return;
    DWORD rc = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, wait);
    if (rc >= WAIT_OBJECT_0 && rc < WAIT_OBJECT_0 + handles.size()) {
        Finish(g_pool.slots[owners[rc - WAIT_OBJECT_0]], false);
        return;
    }
    if (rc != WAIT_TIMEOUT) {
        // Not one of our handles can be waited on: waiting again would spin.
        WriteLog(L"%s: Waiting for the sandbox workers failed (%d)\r\n", kTag, static_cast<int>(GetLastError()));
        for (auto& slot : g_pool.slots)
            if (slot && slot->busy) Finish(slot, true);
        return;
    }
    for (auto& slot : g_pool.slots) {
        if (!slot || !slot->busy || GetTickCount() - slot->handedAt < limit) continue;
        // A plug-in that never returns would hold the whole scan; its record
        // keeps the crash marker the worker wrote before the plug-in ran.
        TerminateProcess(slot->process.Get(), ERROR_TIMEOUT);
        WaitForSingleObject(slot->process.Get(), kExitWaitMs);
        WriteLog(L"%s: Sandboxed scan of %s stopped after %d seconds\r\n", kTag, slot->path.c_str(),
                 static_cast<int>(g_ctx.sandboxTimeout));
        Finish(slot, true);
    }
}

bool AnyBusy() {
    for (const auto& worker : g_pool.slots)
        if (worker && worker->busy) return true;
    return false;
}

std::unique_ptr<Worker>* FreeSlot() {
    if (g_pool.slots.empty()) g_pool.slots.resize(g_ctx.sandboxWorkers > 1 ? g_ctx.sandboxWorkers : 1);
    for (;;) {
        for (auto& slot : g_pool.slots)
            if (!slot || !slot->busy) return &slot;
        WaitForAnyWorker();
    }
}

}  // namespace

void HandToWorker(const std::wstring& path, const std::wstring& recordKeyPath) {
    std::unique_ptr<Worker>& slot = *FreeSlot();
    // A worker that cannot even take the request is replaced once; a
    // program that cannot be started leaves the module unprobed, as a
    // child that failed to start did.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!slot) slot = StartWorker();
        if (!slot) return;
        slot->path = path;
        slot->keyPath = recordKeyPath;
        NoteProbing(path.c_str());
        if (Hand(*slot, path)) {
            slot->busy = true;
            slot->handedAt = GetTickCount();
            break;
        }
        slot->busy = false;
        TerminateProcess(slot->process.Get(), ERROR_TIMEOUT);
        slot.reset();
        NoteWhatIsProbed();
    }
}

void WaitForFreeWorker() {
    FreeSlot();
}

void WaitWhileProbed(const std::wstring& path) {
    for (;;) {
        bool probed = false;
        for (const auto& worker : g_pool.slots)
            probed |= worker && worker->busy && _wcsicmp(worker->path.c_str(), path.c_str()) == 0;
        if (!probed) return;
        WaitForAnyWorker();
    }
}

void FinishSandboxedProbes() {
    while (AnyBusy()) WaitForAnyWorker();
    // A closed pipe tells each worker the scan is over.
    for (auto& slot : g_pool.slots)
        if (slot) Retire(slot);
    for (UniqueHandle& process : g_pool.leaving)
        if (WaitForSingleObject(process.Get(), kExitWaitMs) == WAIT_TIMEOUT) TerminateProcess(process.Get(), 0);
    g_pool.leaving.clear();
    g_pool.slots.clear();
    g_pool.handedOut.clear();
}
