// The credentials provider's prompt through dialog 225 (installed with
// SetCredentialsPrompt at start).
#pragma once

#include "download/CredentialsProvider.h"

namespace pravel {

// Owner: `ownerWindow`, else the active window, else the foreground window.
// The dialog names the provider's server name, or the host of its URL when
// it has none, and its realm. On OK the entered pair is stored in the
// provider and the answer is true; Cancel or a dialog that cannot be shown
// answers false and leaves the provider as it was.
bool PromptWithCredentialsDialog(CredentialsProvider& provider, void* ownerWindow);

}  // namespace pravel
