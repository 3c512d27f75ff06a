// What a sandboxing scan and its workers say to each other over a worker's
// pipe: one message each way per module.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "core/ScanContext.h"

// Scan to worker: probe this module, exactly as the candidate list has it.
struct WorkerRequest {
    uint32_t chars = 0;               // without the terminator
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

// Modules one worker probes before a fresh one takes over: memory and
// handles that plug-ins leak stay in the process that probed them.
// Measured on this 2-core machine under Wine with the bench's mix (250
// modules, one worker): a worker costs about 150 ms to start, so 1 module a
// worker is the one-child-a-module scan; 25 a worker leaves ~6 ms a module
// of start-up, 100 ~1.5 ms, and past that the scan gets no faster.
constexpr uint32_t kModulesPerWorker = 100;
