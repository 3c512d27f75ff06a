// The host callback every VST 2 plug-in receives: the scanner shows itself as
// a minimal, stopped VST 2.4 host. It answers identity, version, time and
// format questions with fixed values, tells a shell which sub-plug-in to
// create (audioMasterCurrentId) and notes when a plug-in asks for MIDI.
#pragma once

#include "vst2/Vst2Abi.h"

// Host identity as plug-ins see it.
constexpr char kHostVendorString[] = "Quenlar";
constexpr char kHostProductString[] = "Tarnwell VST 4.5";
constexpr intptr_t kHostVstVersion = 2400;
constexpr intptr_t kHostVendorVersion = 4;

intptr_t HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

// The time information audioMasterGetTime hands out: one record for the
// whole process, refilled on every request.
const VstTimeInfo* HostTimeInfo();
