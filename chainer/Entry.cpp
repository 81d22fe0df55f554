#include "chainer/Entry.h"

#include <objbase.h>

#include <new>

#include "chainer/ChainerApp.h"
#include "common/ErrorCodes.h"
#include "common/HResultError.h"
#include "common/SystemLibrary.h"
#include "common/Text.h"
#include "diag/ErrorReport.h"
#include "diag/FaultTranslation.h"
#include "diag/Logger.h"
#include "download/CredentialsProvider.h"
#include "ui/AppModule.h"
#include "ui/CredentialsPrompt.h"
#include "ui/ErrorReportWindow.h"

namespace pravel {

int PravelMain(HINSTANCE instance) {
    // Before COM and before any DLL is loaded at run time: never from the
    // program's folder or the current folder.
    RestrictDllSearchToSystem();
    SetErrorReportWindow({&CanShowErrorReportWindow, &ShowErrorReport});
    InstallExceptionTranslation();
    const bool comReady = SUCCEEDED(::CoInitialize(nullptr));
    ::DefWindowProcW(nullptr, 0, 0, 0);
    TheModule().Init(instance);
    SetCredentialsPrompt(&PromptWithCredentialsDialog);
    int exitCode = 0;
    int32_t failure = 0;
    try {
        ChainerApp app;
        app.Run();
        exitCode = app.ExitCode();
    } catch (const HResultError& error) {
        failure = error.Code();
    } catch (const std::bad_alloc&) {
        failure = kHrOutOfMemory;
    } catch (const IException& exception) {
        Log({"The run stopped on an exception:", DescribeException(exception)});
        PresentException(nullptr, exception);
        exitCode = kExitMandatoryMissing;
    } catch (const std::exception& exception) {
        Log({"The run stopped on a standard library exception."});
        PresentException(nullptr, exception);
        exitCode = kExitMandatoryMissing;
    }
    if (failure != 0) {
        // Nothing was decided or installed: never report that as success.
        Log({"The run stopped on error ", HResultPiece(failure), "."});
        exitCode = kExitMandatoryMissing;
    }
    TheModule().Term();
    if (comReady) ::CoUninitialize();
    return exitCode;
}

}  // namespace pravel
