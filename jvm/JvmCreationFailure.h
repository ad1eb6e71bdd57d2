#pragma once
// A negative result of JNI_CreateJavaVM ends the process. On Windows it is raised as a
// non-continuable structured exception whose code is the result; jvmStartFailureHandler
// (JvmStartFailure.h) turns it into the failure report and exit status -1. The native
// build writes the report to the debugger output and exits with -1 at once.
namespace ornivel {

void raiseJvmCreationFailure(int result);

} // namespace ornivel
