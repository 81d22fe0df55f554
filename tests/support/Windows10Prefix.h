// Makes the prefix report Windows 10 (10.0 build 19045) for a whole test
// program: a program reads the Windows version once, so register it as a
// global environment before any test runs:
//   ::testing::AddGlobalTestEnvironment(new testing_support::Windows10Prefix);
// The registry values are put back when the program ends.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "support/RegistrySnapshot.h"

namespace testing_support {

class Windows10Prefix : public ::testing::Environment {
  public:
    void SetUp() override {
        version_ = std::make_unique<RegistrySnapshot>(
            L"Software\\Microsoft\\Windows NT\\CurrentVersion",
            std::initializer_list<const wchar_t*>{L"CurrentMajorVersionNumber",
                                                  L"CurrentMinorVersionNumber",
                                                  L"CurrentBuildNumber", L"CSDVersion"});
        version_->SetDword(L"CurrentMajorVersionNumber", 10);
        version_->SetDword(L"CurrentMinorVersionNumber", 0);
        version_->SetString(L"CurrentBuildNumber", L"19045");
        version_->Delete(L"CSDVersion");
    }
    void TearDown() override { version_.reset(); }

  private:
    std::unique_ptr<RegistrySnapshot> version_;
};

}  // namespace testing_support
