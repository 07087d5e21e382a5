// Starting and stopping the installed driver, and completing a pending
// driver update.
#pragma once

namespace velmora {

// Deactivates the running instance of the driver (the last entry of
// "Drivers\Active" whose "Key" is DriverKeyPath, compared exactly). True
// only when one was found and deactivated.
bool StopDriver();

// Activates the driver from DriverKeyPath; true when a handle came back.
bool StartDriver();

// When "\windows\Velmora_tmp.dll" exists: stops the driver, moves the new
// DLL into the place of "\windows\Velmora.dll" and starts the driver again
// if it was running. The installed DLL is never gone unless the new one
// took its place: it is moved aside first and moved back when the new one
// cannot follow, and a swap cut short (only the aside copy left) is mended
// first. True when a pending DLL was found, whatever became of the swap.
bool CompletePendingUpdate();

}  // namespace velmora
