// Feeds arbitrary bytes to the configuration checker and its explanation:
// whatever a file holds, pravel-check reports findings and never fails.
#include <cstddef>
#include <cstdint>

#include "checker/ConfigCheck.h"
#include "checker/Explain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const pravel::CheckReport report = pravel::CheckConfiguration(data, size);
    for (const auto& finding : report.findings) pravel::FormatFinding(L"f", finding);
    pravel::FormatSummary(L"f", report);
    if (report.readable) pravel::ExplainConfiguration(report.document, report.set);
    return 0;
}
