// Feeds arbitrary bytes to the configuration checker, its look for shipped
// files (in a package that holds every other file it is asked about) and
// its explanation: whatever a file holds, pravel-check reports findings and
// never fails, and
// the set it loads (linearly, through its index) is the one pravel's own
// loader gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "checker/ConfigCheck.h"
#include "checker/Explain.h"
#include "checker/LoadedSet.h"
#include "checker/ShippedFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pravel::CheckReport report = pravel::CheckConfiguration(data, size);
    bool held = false;
    pravel::CheckShippedFiles(report, [&held](const std::wstring&) { return held = !held; });
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
