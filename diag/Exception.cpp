#include "diag/Exception.h"

#include "diag/StackTrace.h"

namespace pravel {

void Exception::AddStackTraceIfMissing() {
    if (message_.find(kStackTraceHeader) != std::wstring::npos) return;
    std::wstring trace;
    RenderCurrentStackTrace(trace, kMaxTraceFrames);
    message_ = WithStackTrace(message_, trace);
}

IException* Exception::Clone(bool withStackTrace) const {
    Exception* copy = new Exception(*this);
    if (withStackTrace) copy->AddStackTraceIfMissing();
    return copy;
}

IException* SehException::Clone(bool withStackTrace) const {
    SehException* copy = new SehException(*this);
    if (withStackTrace) copy->AddStackTraceIfMissing();
    return copy;
}

}  // namespace pravel
