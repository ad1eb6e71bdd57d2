// Where a POSIX system keeps a Java runtime: the installation's runtime folder holds a
// JDK's layout (lib/server/libjvm.so); there is no registry of runtimes.
#include "jvm/JvmDiscovery.h"

#include "common/Text.h"

namespace ornivel {

const wchar_t* const jvmLibraryPlaces[2] = {L"/lib/client/libjvm.so", L"/lib/server/libjvm.so"};

std::wstring findRegisteredJvm() { return {}; }

// A runtime's shared objects find the libraries they need themselves (run paths).
void prepareRuntimeLibraries(const std::wstring&) {}

bool javaOptionText(const std::wstring& text, std::string& option) {
    option = toUtf8(text);
    return true;
}

// Every path has an exact UTF-8 form, and no other form of it exists.
std::wstring javaReadablePath(const std::wstring& path) { return path; }

} // namespace ornivel
