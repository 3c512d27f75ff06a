// The buffer a VST 2 plug-in writes its names into. It ends where a no-access
// page begins, so a plug-in that writes past it faults inside its own call,
// where the probe guard contains it, instead of overwriting the scanner's stack.
#pragma once

// kPluginTextBytes zeroed bytes; the same buffer again at the next call, so
// an answer must be read before the next question.
char* PluginTextBuffer();
