// The sandboxing scan's side of its workers: each worker is this program in
// worker mode (app/ScanWorker.h), probing the modules it is handed one at a
// time as a /ScanVst: child would, up to "sandboxWorkers" of them at once.
// A worker that dies or passes "sandboxTimeout" costs only its module, which
// is treated as a child that died; the next module gets a fresh worker.
#pragma once

#include <string>

// Hands a module to a free worker (starting one, or waiting for one to be
// free) and returns at once: the scan reads and decides the next candidate
// while the module is probed. With a single worker the next module is still
// handed over (and announced) only once this one is done.
void HandToWorker(const std::wstring& path, const std::wstring& recordKeyPath);

// Waits until a worker is free to take the next module.
void WaitForFreeWorker();

// Waits while a worker probes this path (in any letter case): a module the
// candidate list holds twice is decided anew only when its probe is over.
void WaitWhileProbed(const std::wstring& path);

// Waits for every module handed over, then lets the workers go.
void FinishSandboxedProbes();
