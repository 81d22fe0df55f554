// Throughput of the program's SHA-256: the whole file through
// ComputeSha256 (64 KiB reads, as the download acceptance reads), and the
// two compressions over an in-memory buffer. Prints the digest so that the
// script can compare it with sha256sum's.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "download/Sha256.h"

namespace {

class FileSource : public pravel::ByteSource {
  public:
    explicit FileSource(FILE* file) : file_(file) {}
    bool Read(uint8_t* buffer, size_t capacity, size_t& got) override {
        got = std::fread(buffer, 1, capacity, file_);
        bytes += got;
        return std::ferror(file_) == 0;
    }
    uint64_t bytes = 0;

  private:
    FILE* file_;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: sha256_bench FILE\n");
        return 2;
    }
    FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    FileSource source(file);
    std::wstring hex;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = pravel::ComputeSha256(source, hex);
    const double fileSeconds = Seconds(start);
    std::fclose(file);
    if (!ok) return 1;
    std::printf("digest %s\n", std::string(hex.begin(), hex.end()).c_str());
    std::printf("file   %.1f MB/s (%s compression)\n", source.bytes / fileSeconds / 1e6,
                pravel::Sha256::Accelerated() ? "SHA extensions" : "portable");

    std::vector<uint8_t> buffer(64u << 20);
    for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    uint32_t state[8] = {};
    auto t = std::chrono::steady_clock::now();
    pravel::Sha256CompressPortable(state, buffer.data(), buffer.size() / 64);
    std::printf("memory %.1f MB/s portable\n", buffer.size() / Seconds(t) / 1e6);
    t = std::chrono::steady_clock::now();
    if (pravel::Sha256CompressAccelerated(state, buffer.data(), buffer.size() / 64)) {
        std::printf("memory %.1f MB/s SHA extensions\n", buffer.size() / Seconds(t) / 1e6);
    }
    return state[0] == 0x12345678u ? 3 : 0;  // keeps the work observable
}
