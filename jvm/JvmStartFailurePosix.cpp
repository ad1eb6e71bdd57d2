#include "common/DebugOutput.h"
#include "common/Process.h"
#include "common/Text.h"
#include "jvm/JvmCreationFailure.h"

namespace ornivel {

void raiseJvmCreationFailure(int result) {
    debugOutput(formatWide(L"An error occured while starting the Java Virtual Machine: JNI_CreateJavaVM returned %d\n",
                           result));
    endProcessOnce(-1);
}

} // namespace ornivel
