# The Windows side: the library with every platform-facing part of pravel,
# the program itself and its deliverable copy in dist/.

# Processor faults are turned into C++ exceptions at the faulting instruction
# (diag/FaultTranslation.h): every instruction that can fault needs unwind
# information, not only calls. The platform-free core (pravel_core: parser,
# rules and formats, tested natively under the sanitizers and fuzzed) is
# built without it for size: a fault there still unwinds through frames
# without clean-up; one in a frame with clean-up ends in the terminate
# handler, which reports it like a fault that nothing handled.
add_compile_options(-fnon-call-exceptions)

# The size-optimised build uses GCC's strongest size preference (-Oz, about
# 1.5 KB below -Os) and keeps one copy of each function: the
# interprocedural passes that clone a function per set of constant or
# scalarised arguments copy the std::wstring members into every
# translation unit that uses them (about 12 KB in pravel.exe).
# -fno-declone-ctor-dtor: at -Os/-Oz GCC moves the body of a constructor or
# destructor into a "maybe in charge" function that COFF cannot share
# between translation units (it is local), so every unit that copies or
# moves a std::wstring had its own copy of those constructors (45 copies,
# with their unwind entries); without it they are ordinary shared
# functions: 8.5 KiB less in pravel.exe.
string(REPLACE "-Os" "-Oz" CMAKE_CXX_FLAGS_MINSIZEREL "${CMAKE_CXX_FLAGS_MINSIZEREL}")
string(REPLACE "-Os" "-Oz" CMAKE_C_FLAGS_MINSIZEREL "${CMAKE_C_FLAGS_MINSIZEREL}")
set(PRAVEL_NO_CLONES $<$<CONFIG:MinSizeRel>:-fno-ipa-sra> $<$<CONFIG:MinSizeRel>:-fno-ipa-cp>
  $<$<CONFIG:MinSizeRel>:-fno-declone-ctor-dtor>)
add_compile_options(${PRAVEL_NO_CLONES})
target_compile_options(pravel_core PRIVATE ${PRAVEL_NO_CLONES})

add_library(pravel_win STATIC
  common/SystemLibrary.cpp
  common/TempFolder.cpp
  common/Wow64.cpp
  chainer/ChainerApp.cpp
  chainer/Elevation.cpp
  config/ConfigFile.cpp
  chainer/Entry.cpp
  chainer/InstallerGuard.cpp
  chainer/InterbootContext.cpp
  chainer/RunPrerequisites.cpp
  chainer/SystemEnvironment.cpp
  detect/FileSearch.cpp
  detect/FileVersion.cpp
  detect/FolderProperties.cpp
  detect/MsiSearch.cpp
  detect/OsSystem.cpp
  detect/OsVersionReader.cpp
  launch/PackageFinder.cpp
  detect/RegistryAccess.cpp
  common/SystemInfo.cpp
  chainer/SystemSearchRunner.cpp
  common/VersionResource.cpp
  diag/ErrorReport.cpp
  diag/Exception.cpp
  diag/FaultTranslation.cpp
  diag/Logger.cpp
  diag/StackTrace.cpp
  download/FileSha256.cpp
  launch/PackageInstaller.cpp
  common/ProcessLaunch.cpp
  ui/AppModule.cpp
  launch/InstallerLauncher.cpp
  launch/InstallerReboot.cpp
  chainer/InstallEngine.cpp
  download/WinInetApi.cpp
  download/AsyncChannel.cpp
  download/Downloader.cpp
  download/HttpExchange.cpp
  download/DataLoop.cpp
  download/PartFile.cpp
  download/FtpAndFileSources.cpp
  common/FileOperations.cpp
  common/PrivateFolder.cpp
  launch/CleanupScriptRunner.cpp
  chainer/ChainerCleanup.cpp
  launch/MsixFinder.cpp
  launch/PackageManager.cpp
  launch/WindowsRuntime.cpp
  download/Acceptance.cpp
  chainer/DownloadPhase.cpp
  download/PackageLookup.cpp
  download/SignatureCheck.cpp
  download/FileDigest.cpp
  download/InternetShortcut.cpp
  ui/ConfiguredTexts.cpp
  ui/CredentialsDialog.cpp
  ui/CredentialsPrompt.cpp
  ui/DialogWindow.cpp
  ui/ErrorReportWindow.cpp
  ui/DownloadProgressDialog.cpp
  ui/MessageBox.cpp
  ui/PreparingDialog.cpp
)
target_link_libraries(pravel_win PUBLIC pravel_core
  shell32 shlwapi ole32 advapi32 user32 uuid)  # known DLLs only (uuid: a static library): see docs/building.md

set(PRAVEL_STATIC_LINK -static -static-libgcc -static-libstdc++ -Wl,--gc-sections)

# Link-time optimisation of the optimised builds: the program's code is
# optimised as one unit when pravel.exe is linked, so the std::wstring and
# container members that every translation unit instantiates are kept once
# and inlined or dropped across units (about 60 KiB less in pravel.exe).
# The objects are fat (they also hold ordinary code), so the test programs,
# which link the same libraries, link as before. The flags that shape the
# code are given again when linking, where the optimisation now happens.
set(PRAVEL_LTO_BUILD $<CONFIG:Release,MinSizeRel>)
set(PRAVEL_LTO_COMPILE $<${PRAVEL_LTO_BUILD}:-flto> $<${PRAVEL_LTO_BUILD}:-ffat-lto-objects>)
set(PRAVEL_LTO_LINK $<${PRAVEL_LTO_BUILD}:-flto=auto> $<${PRAVEL_LTO_BUILD}:-fuse-linker-plugin>
  $<${PRAVEL_LTO_BUILD}:-fnon-call-exceptions>
  ${PRAVEL_NO_CLONES})
# Every other program (tests, benchmarks, pravel-check.exe) links the
# ordinary code of those objects: without the linker plugin, which would
# otherwise read their intermediate code as well.
add_link_options($<${PRAVEL_LTO_BUILD}:-fno-use-linker-plugin>)
target_compile_options(pravel_core PRIVATE ${PRAVEL_LTO_COMPILE})
target_compile_options(pravel_win PRIVATE ${PRAVEL_LTO_COMPILE})

add_executable(pravel WIN32 pravel/main.cpp pravel/pravel.rc)
target_include_directories(pravel PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/pravel)
set_source_files_properties(pravel/pravel.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/pravel/pravel.ico;${CMAKE_SOURCE_DIR}/pravel/pravel.manifest;${CMAKE_BINARY_DIR}/generated/BuildInfo.h;${CMAKE_SOURCE_DIR}/ui/Dialogs.rc;${CMAKE_SOURCE_DIR}/ui/ResourceIds.h")
target_link_libraries(pravel PRIVATE pravel_win)
# RuntimeHooks.cpp must win over libstdc++'s definitions: link its object directly.
target_sources(pravel PRIVATE diag/RuntimeHooks.cpp)
target_compile_options(pravel PRIVATE ${PRAVEL_LTO_COMPILE})
target_link_options(pravel PRIVATE ${PRAVEL_STATIC_LINK} ${PRAVEL_LTO_LINK} -municode -mwindows
  $<$<CONFIG:Release,MinSizeRel>:-s>)
# The deliverable is stripped. The same objects linked once more without
# stripping give its debug information (identical layout: debug information
# changes no code), kept beside it as pravel.debug for scripts/symbolize.
target_compile_options(pravel PRIVATE -g)
target_compile_options(pravel_win PRIVATE -g)
target_compile_options(pravel_core PRIVATE -g)
add_executable(pravel_symbols WIN32 pravel/main.cpp pravel/pravel.rc diag/RuntimeHooks.cpp)
target_include_directories(pravel_symbols PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/pravel)
target_compile_options(pravel_symbols PRIVATE -g ${PRAVEL_LTO_COMPILE})
target_link_libraries(pravel_symbols PRIVATE pravel_win)
target_link_options(pravel_symbols PRIVATE ${PRAVEL_STATIC_LINK} ${PRAVEL_LTO_LINK} -municode -mwindows)

# dist/<arch>/ receives the deliverables of this build.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PRAVEL_DIST_DIR ${CMAKE_SOURCE_DIR}/dist/win64)
else()
  set(PRAVEL_DIST_DIR ${CMAKE_SOURCE_DIR}/dist/win32)
endif()
add_custom_command(TARGET pravel POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PRAVEL_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:pravel> ${PRAVEL_DIST_DIR}/pravel.exe)
add_custom_command(TARGET pravel_symbols POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PRAVEL_DIST_DIR}
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:pravel_symbols> ${PRAVEL_DIST_DIR}/pravel.debug)
add_dependencies(pravel pravel_symbols)

# A version resource for a deliverable other than pravel.exe (whose own
# pravel/pravel.rc also holds its icon, manifest and dialogs): the project's
# version, the file's name and description. FILE_TYPE: VFT_APP or VFT_DLL.
# An optional fifth argument names a program's application manifest
# (resource type 24, id 1).
function(pravel_version_resource target file_name description file_type)
  set(VERSION_FILE_NAME ${file_name})
  set(VERSION_DESCRIPTION ${description})
  set(VERSION_FILE_TYPE ${file_type})
  set(VERSION_MANIFEST "")
  set(depends ${CMAKE_BINARY_DIR}/generated/BuildInfo.h)
  if(ARGC GREATER 4)
    set(VERSION_MANIFEST "1 24 \"${ARGV4}\"")
    list(APPEND depends ${ARGV4})
  endif()
  get_filename_component(VERSION_INTERNAL_NAME ${file_name} NAME_WE)
  set(rc ${CMAKE_BINARY_DIR}/generated/${target}-version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/VersionInfo.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated)
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES
    OBJECT_DEPENDS "${depends}")
endfunction()

add_subdirectory(kestin)
pravel_version_resource(kestin kestin.dll "Installer property securing" VFT_DLL)
