// Native only: the program's SHA-256 against the system's sha256sum on
// generated files around the block and buffer boundaries.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "download/Sha256.h"

using namespace pravel;

namespace {

class FileSource : public ByteSource {
  public:
    explicit FileSource(FILE* file) : file_(file) {}
    bool Read(uint8_t* buffer, size_t capacity, size_t& got) override {
        got = std::fread(buffer, 1, capacity, file_);
        return std::ferror(file_) == 0;
    }

  private:
    FILE* file_;
};

std::string SystemSha256(const std::string& path) {
    const std::string command = "sha256sum '" + path + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return "";
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    return read ? std::string(line).substr(0, 64) : "";
}

}  // namespace

TEST(Sha256Sum, GeneratedFilesHashLikeSha256sum) {
    if (std::system("command -v sha256sum >/dev/null 2>&1") != 0) GTEST_SKIP() << "no sha256sum";
    char folder[] = "/tmp/pravel-sha256-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(folder));
    uint32_t x = 88172645u;
    for (size_t size : {1u, 55u, 56u, 63u, 64u, 65u, 119u, 1000u, 65535u, 65536u, 65537u,
                        131072u + 13u, 3u * 1048576u + 5u}) {
        std::vector<uint8_t> data(size);
        for (auto& b : data) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = static_cast<uint8_t>(x >> 7);
        }
        const std::string path = std::string(folder) + "/f" + std::to_string(size);
        FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, out);
        ASSERT_EQ(size, std::fwrite(data.data(), 1, size, out));
        std::fclose(out);

        FILE* in = std::fopen(path.c_str(), "rb");
        ASSERT_NE(nullptr, in);
        FileSource source(in);
        std::wstring hex;
        ASSERT_TRUE(ComputeSha256(source, hex)) << size;
        std::fclose(in);
        EXPECT_EQ(SystemSha256(path), std::string(hex.begin(), hex.end())) << size;
        std::remove(path.c_str());
    }
    ::rmdir(folder);
}
