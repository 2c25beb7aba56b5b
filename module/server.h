// Start and stop of the COM server module (called from DllMain).
#pragma once

namespace lumora::server {

// Load: nothing to prepare (the locks are static, the class objects are
// created on demand).
void Start() noexcept;
// Orderly unload (FreeLibrary): ends the simple API's library-wide instance,
// releases the cached class objects, then the cached type information.
void Stop() noexcept;

}  // namespace lumora::server
