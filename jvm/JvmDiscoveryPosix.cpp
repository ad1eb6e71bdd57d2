// Where a POSIX system keeps a Java runtime: the installation's runtime folder holds a
// JDK's layout (lib/server/libjvm.so); there is no registry of runtimes.
#include "jvm/JvmDiscovery.h"

namespace ornivel {

const wchar_t* const jvmLibraryPlaces[2] = {L"/lib/client/libjvm.so", L"/lib/server/libjvm.so"};

std::wstring findRegisteredJvm() { return {}; }

// A runtime's shared objects find the libraries they need themselves (run paths).
void prepareRuntimeLibraries() {}

} // namespace ornivel
