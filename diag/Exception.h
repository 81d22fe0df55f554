// The program's own exception classes. They carry a readable message and
// are used for processor faults translated into C++ exceptions (see
// diag/FaultTranslation.h) and for the last-chance report. Ordinary failures
// stay HResultError (common/HResultError.h).
//
// Exceptions are values: thrown by value and copied; Clone hands a heap copy
// to its caller, which deletes it.
#pragma once

#include <cstdint>
#include <string>

#include "common/ErrorCodes.h"
#include "common/Text.h"
#include "diag/ExceptionText.h"

namespace pravel {

class IException {
  public:
    // Throws a copy of this object as its own dynamic type.
    [[noreturn]] virtual void Raise() const = 0;
    // A heap copy of the same dynamic type, owned by the caller. With
    // `withStackTrace` and a message without the stack-trace header, the
    // copy's message gets "\r\n" and the stack trace of the calling point.
    virtual IException* Clone(bool withStackTrace) const = 0;
    virtual int32_t Kind() const = 0;
    virtual ~IException() = default;
    virtual std::wstring KindName() const = 0;
    // A process-wide object; no part of the program uses one: always null.
    virtual void* ProcessObject() const = 0;
};

class Exception : public IException {
  public:
    Exception(std::wstring message, std::wstring sourceFile, int32_t line)
        : message_(std::move(message)), sourceFile_(std::move(sourceFile)), line_(line) {}

    [[noreturn]] void Raise() const override { throw *this; }
    IException* Clone(bool withStackTrace) const override;
    int32_t Kind() const override { return kKindGeneric; }
    std::wstring KindName() const override { return WideFromAscii(ExceptionKindName(Kind())); }
    void* ProcessObject() const override { return nullptr; }

    const std::wstring& Message() const { return message_; }
    uint32_t Code() const { return code_; }
    const std::wstring& SourceFile() const { return sourceFile_; }
    int32_t Line() const { return line_; }

  protected:
    void AddStackTraceIfMissing();

  private:
    std::wstring message_;
    uint32_t code_ = kProgramExceptionCode;
    std::wstring sourceFile_;
    int32_t line_;
};

class SehException : public Exception {
  public:
    SehException(std::wstring sourceFile, int32_t line, int32_t sehKind, std::wstring message)
        : Exception(std::move(message), std::move(sourceFile), line), sehKind_(sehKind) {}

    [[noreturn]] void Raise() const override { throw *this; }
    IException* Clone(bool withStackTrace) const override;
    int32_t Kind() const override { return kKindSeh; }
    std::wstring KindName() const override { return WideFromAscii(SehKindName(sehKind_)); }

    int32_t SehKind() const { return sehKind_; }

  private:
    int32_t sehKind_;
};

}  // namespace pravel
