// Feeds arbitrary bytes to the configuration checker and its explanation:
// whatever a file holds, pravel-check reports findings and never fails, and
// the set it loads (linearly, through its index) is the one pravel's own
// loader gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "checker/ConfigCheck.h"
#include "checker/Explain.h"
#include "checker/LoadedSet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const pravel::CheckReport report = pravel::CheckConfiguration(data, size);
    for (const auto& finding : report.findings) pravel::FormatFinding(L"f", finding);
    pravel::FormatSummary(L"f", report);
    if (report.readable) {
        pravel::ExplainConfiguration(report);
        pravel::PrerequisiteSet expected;
        expected.Load(report.document, pravel::TextExpander());
        if (checker_test::DescribeLoaded(expected) != checker_test::DescribeLoaded(report.set)) {
            std::abort();
        }
    }
    return 0;
}
