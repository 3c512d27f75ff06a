// What the program was doing when something went wrong: every stage writes
// its labels before it runs, so an exception report can name the stage and
// the last plug-in call that was started.
#pragma once

#include <windows.h>

constexpr size_t kLabelChars = 1024;

struct FailurePoint {
    wchar_t function[kLabelChars];
    wchar_t failurePoint[kLabelChars];
    wchar_t step[kLabelChars];
    const wchar_t* pluginName;  // FullName of the record whose exception is being handled
};

extern FailurePoint g_failure;

void SetFunction(const wchar_t* label);
void SetFailurePoint(const wchar_t* label);
void SetStep(const wchar_t* label);

// "SIEVO: Exception in function [..], failure point[..]"
void LogExceptionLine();
