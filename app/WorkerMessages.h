// What a sandboxing scan and its workers say to each other over a worker's
// pipe: one message each way per module.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "core/ScanContext.h"

// Scan to worker: probe this module, exactly as the candidate list has it.
struct WorkerRequest {
    uint32_t again = 0;  // 1: handed out before in this scan (listed twice, or a shell probed at every listing)
    uint32_t chars = 0;  // without the terminator
    wchar_t path[kFolderChars] = {};  // terminated
};

inline DWORD RequestBytes(uint32_t chars) {
    return static_cast<DWORD>(offsetof(WorkerRequest, path) + (chars + 1) * sizeof(wchar_t));
}

// Why a worker ends after the module it reports on. Plug-in code that
// damaged a worker's process (a fault it survived, a thread still running in
// a module that must stay mapped, a corrupted heap) could strike during an
// innocent module's probe and have that one marked bad.
enum class WorkerRetires : uint32_t {
    No = 0,
    ModuleLimit,
    PluginFault,
    ModuleStillMapped,
    HeapDamaged,
    ScanException,
};

// Worker to scan: the module is done (record written, counts added).
struct WorkerReply {
    uint32_t done = 0;  // kWorkerDone
    WorkerRetires retires = WorkerRetires::No;
};
constexpr uint32_t kWorkerDone = 0x454E4F44;  // "DONE"

// Modules one worker probes before a fresh one takes over, so that what
// plug-ins leak (memory, handles, state in the runtime) stays bounded.
// Measured under Wine on this 2-core machine with the bench's mix, one
// worker: a worker takes about 140 ms to start (150 ms a module with one
// module a worker), an in-process probe 4 to 6 ms; 25 modules a worker
// scanned at 8 to 9.5 ms a module, 100 at 7.3 to 7.7, 250 at 5.6 to 6.7.
// At 200 a start costs 0.7 ms a module, and a worker grew by about 10 KB a
// module (2 MB over its 200).
constexpr uint32_t kModulesPerWorker = 200;
