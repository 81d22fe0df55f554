// The two calls pravel makes of the platform package manager, the Windows
// Runtime class "Windows.Management.Deployment.PackageManager", through its
// raw interfaces. The calling thread must have entered the multithreaded COM
// apartment; both block it until the platform has answered. Every failing
// platform call is logged with what failed and ends the call with false or
// the empty result; nothing throws.
#pragma once

#include <string>
#include <vector>

#include "detect/PackageIdentity.h"

namespace pravel {

// Adds the package file at `path` (a plain path, used unchanged as the URI)
// for the current user, with no dependency packages and no deployment
// options, and waits without time-out for the Completed handler, which only
// signals an event. True exactly when the operation's status is Completed.
bool DeployPackage(const std::wstring& path) noexcept;

// Walks the current user's packages (FindPackagesForUser with an empty user
// SID) in the platform's order and returns the version texts of all that
// match `criteria`. A package whose identity cannot be read is logged and
// skipped; a failure of the query or of the walk ends it with the versions
// found so far (none when the query failed).
std::vector<std::wstring> FindPackageVersions(const PackageCriteria& criteria) noexcept;

}  // namespace pravel
