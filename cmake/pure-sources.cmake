# The launcher's sources that need no Windows header, one list for every build: the Windows
# builds take them with the rest of each folder, the native builds (native/, fuzz/) from
# here, with the POSIX side of the platform layer in place of its *Win32.cpp files.
# scripts/check-layers.py fails the test command when a source that qualifies is missing.
# Paths are relative to the repository root.
set(ORNIVEL_PURE_SOURCES
  common/CommandLine.cpp common/Guarded.cpp common/ProcessEnd.cpp common/RelativePath.cpp common/TextScan.cpp common/Utf16.cpp
  config/CompanyValues.cpp config/ConfigFiles.cpp config/ConfigLines.cpp config/PasswordScrambling.cpp
  config/ServerInfo.cpp config/StartOptions.cpp config/StoredLogin.cpp jvm/JObject.cpp
  jvm/JavaVirtualMachine.cpp jvm/JniSignature.cpp jvm/JvmDiscovery.cpp jvm/JvmOptions.cpp
  jvm/ModifiedUtf8.cpp jvm/OutOfMemoryWatcher.cpp common/Thread.cpp jvm/JavaMainThread.cpp
  jvm/HeapDumpWatchThread.cpp launcher/LoginRecord.cpp logdriver/LogAppender.cpp logdriver/LogDriver.cpp
  logdriver/LogPattern.cpp remote/HttpText.cpp remote/ProgressMerger.cpp remote/RemoteSourceCombination.cpp
  remote/ProxyText.cpp remote/UrlEncode.cpp sync/DeploymentServerInfo.cpp filelist/FileListReader.cpp filelist/FileListScanner.cpp
  filelist/FileListValues.cpp filelist/ListSignature.cpp filelist/ListWriter.cpp sync/LocalPaths.cpp sync/PatchRebuild.cpp
  filelist/ExpandedArchive.cpp filelist/Md5.cpp filelist/ModuleName.cpp sync/ServerFileToken.cpp sync/UnfinishedUpdate.cpp sync/UpdateResult.cpp sync/TransferWorkers.cpp
  ui/CallbackTarget.cpp ui/ProgressStatus.cpp ui/WindowGeometry.cpp)
set(ORNIVEL_POSIX_SOURCES
  common/DebugOutputPosix.cpp common/EventPosix.cpp common/FileAccessPosix.cpp common/FormatPosix.cpp
  common/LocalTimePosix.cpp common/LockPosix.cpp common/ProcessPosix.cpp common/SharedLibraryPosix.cpp
  common/SystemThreadPosix.cpp common/TextPosix.cpp jvm/JvmDiscoveryPosix.cpp jvm/JvmStartFailurePosix.cpp
  jvm/OutOfMemoryReportPosix.cpp)
# The tests of those sources, run natively (the native test program; tests/CMakeLists.txt
# runs the ones of the Windows test programs under Wine as well).
set(ORNIVEL_PURE_TESTS
  tests/common/CommandLineTest.cpp tests/common/ProcessEndTest.cpp tests/common/RelativePathTest.cpp tests/config/PasswordScramblingTest.cpp
  tests/config/StartOptionsTest.cpp
  tests/jvm/JniSignatureTest.cpp tests/jvm/JvmOptionsTest.cpp tests/jvm/ModifiedUtf8Test.cpp
  tests/jvm/StandinScenarioTest.cpp tests/common/ThreadWaitTest.cpp
  tests/launcher/LoginRecordTest.cpp tests/logdriver/LogPatternTest.cpp tests/logdriver/WideFormatTest.cpp
  tests/remote/HttpTextTest.cpp tests/remote/ProgressMergerTest.cpp tests/sync/FileListReaderTest.cpp tests/sync/UnfinishedUpdateTest.cpp tests/sync/UpdateResultTest.cpp
  tests/ui/CallbackTargetTest.cpp tests/ui/ProgressStatusTest.cpp tests/ui/WindowGeometryTest.cpp
  tests/support/standin-jvm/StandinScenario.cpp)
