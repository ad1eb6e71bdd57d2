# The sources of ornivel-publish, shared by the Windows builds (CMakeLists.txt here) and the
# native Linux build (native/CMakeLists.txt). Paths are relative to the repository root. The
# deployment's list format (filelist/) comes from its library.
set(ORNIVEL_PUBLISH_SOURCES
  tools/publish/FileSystem.cpp tools/publish/FleetReports.cpp tools/publish/ModuleScan.cpp tools/publish/NameRules.cpp tools/publish/NginxFragment.cpp tools/publish/PatchWriter.cpp
  tools/publish/Progress.cpp tools/publish/PublishJobs.cpp tools/publish/PublishOptions.cpp tools/publish/PublishState.cpp
  tools/publish/Publisher.cpp tools/publish/Signing.cpp tools/publish/Upcase.cpp tools/publish/VersionAnswers.cpp)
set(ORNIVEL_PUBLISH_POSIX_SOURCES
  tools/publish/FileSystemPosix.cpp tools/publish/TerminalPosix.cpp tools/publish/UpcasePosix.cpp)
set(ORNIVEL_PUBLISH_WIN32_SOURCES
  tools/publish/FileSystemWin32.cpp tools/publish/TerminalWin32.cpp tools/publish/UpcaseWin32.cpp)
