#pragma once
// The launcher's start-up sequence, from the command line to the end of the Java client.
#include <windows.h>
#include <string>

namespace ornivel {

// Runs the whole launcher; returns the exit status of the paths that reach the end (1).
int runLauncher(HINSTANCE instance, const std::wstring& commandLine);

} // namespace ornivel
