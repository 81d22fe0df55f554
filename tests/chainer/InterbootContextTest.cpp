#include <gtest/gtest.h>
#include <windows.h>

#include "chainer/InterbootContext.h"

using pravel::InterbootContext;

namespace {

class InterbootContextStore : public ::testing::Test {
  protected:
    void SetUp() override { InterbootContext::DeleteKey(); }
    void TearDown() override { InterbootContext::DeleteKey(); }
    InterbootContext store_;
};

}  // namespace

TEST_F(InterbootContextStore, NumbersAreSignedDecimalTextAndTheFirstValueStays) {
    store_.SetNumber("RUNTIME_RC", static_cast<int32_t>(0xC0000005u));
    store_.SetNumber("RUNTIME_RC", 0);
    std::string text;
    ASSERT_TRUE(store_.GetString("RUNTIME_RC", text));
    EXPECT_EQ("-1073741819", text);
    int32_t value = 0;
    ASSERT_TRUE(store_.GetNumber("RUNTIME_RC", value));
    EXPECT_EQ(static_cast<int32_t>(0xC0000005u), value);
    // Stored as REG_SZ without its terminating zero.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, "InterbootContext", &key));
    DWORD type = 0;
    DWORD size = 0;
    RegQueryValueExA(key, "RUNTIME_RC", nullptr, &type, nullptr, &size);
    RegCloseKey(key);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
}

TEST_F(InterbootContextStore, GetNumberNeedsAWholeNumber) {
    store_.SetString("TEXT", "12abc");
    store_.SetString("LONG", std::string(400, '7'));
    int32_t value = 0;
    EXPECT_FALSE(store_.GetNumber("TEXT", value));
    EXPECT_FALSE(store_.GetNumber("LONG", value));
    EXPECT_FALSE(store_.GetNumber("MISSING", value));
    std::string text;
    ASSERT_TRUE(store_.GetString("LONG", text));  // larger than the first 260-byte buffer
    EXPECT_EQ(400u, text.size());
}

TEST_F(InterbootContextStore, EnumerateDeleteAndRemoveTheKey) {
    store_.SetNumber("A", 1);
    store_.SetNumber("B", 3010);
    EXPECT_EQ(2u, store_.Enumerate().size());
    store_.DeleteValue("A");
    const auto values = store_.Enumerate();
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ("B", values[0].first);
    EXPECT_EQ("3010", values[0].second);
    InterbootContext::DeleteKey();
    EXPECT_TRUE(store_.Enumerate().empty());
}
