#include "jvm/JvmDiscovery.h"

#include "common/FileAccess.h"

namespace ornivel {

const wchar_t* const javaRuntimeFolder = L"java_17.0.1";

std::wstring findJvmLibrary(const std::wstring& folder) {
    const std::wstring base = folder + javaRuntimeFolder;
    for (const wchar_t* place : jvmLibraryPlaces) {
        std::wstring candidate = base + place;
        if (canOpenForReading(candidate, true, false)) return candidate;
    }
    return findRegisteredJvm();
}

} // namespace ornivel
