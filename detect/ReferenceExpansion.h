// Expansion of references in configuration texts: "[Name]" folder
// properties, "%NAME%" environment variables and "!root\key\value!"
// registry values. Each reference is resolved once; inserted values are not
// scanned again. An unresolved folder property stays as written with its
// brackets; an unset environment variable or registry value becomes empty;
// an opening mark without its closing mark leaves the rest of the text as it is.
#pragma once

#include <string>

namespace pravel {

class ReferenceResolver {
  public:
    virtual ~ReferenceResolver() = default;
    virtual bool FolderProperty(const std::wstring& name, bool use64, std::wstring& value) = 0;
    virtual std::wstring Environment(const std::wstring& name) = 0;
    virtual std::wstring RegistryValue(const std::wstring& path, bool use64) = 0;
};

std::wstring ExpandReferences(const std::wstring& text, bool use64, ReferenceResolver& resolver);

// Windows only: expansion against the running system.
std::wstring ExpandReferences(const std::wstring& text, bool use64);

}  // namespace pravel
