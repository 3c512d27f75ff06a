// Crash marks the scanner cannot take at their word. A mark left by a scan
// that was killed from outside says nothing about the plug-in, and a plug-in
// whose file changed since it was marked may have been fixed: each gets one
// probe in a sandboxed child, where whatever it does costs only that child.
#pragma once

#include <windows.h>

#include <string>

// The module the running scan probes, kept in the configuration key from
// just before its code runs until the probe is over.
void NoteProbing(const wchar_t* path);
void NoteProbeDone();

// At the start of a full scan: a module that a scan which never finished
// left marked bad is probed once more in a sandboxed child.
void RecheckUnfinishedProbe();

// In a child run: the scan that started it chose to probe this module, so a
// crash mark does not stop the probe.
bool SentToProbe(const wchar_t* path);
// In a sandbox worker: the scan handed this module over to be probed. Several
// workers probe at once, so the one module "SievoProbing" names cannot tell.
void NoteHandedOver(const wchar_t* path);

// Probes the module in a sandboxed child; true when its record is no
// longer marked bad afterwards.
bool RecheckInChild(const wchar_t* path, const std::wstring& recordKeyPath);
