// The driver's fixed names.
#pragma once

namespace velmora {

inline constexpr char16_t DriverName[] = u"Velmora";
inline constexpr char16_t DriverFriendlyName[] = u"Velmora Virual Serial Splitter";
inline constexpr char16_t DriverDllName[] = u"Velmora.dll";
inline constexpr char16_t DriverKeyPath[] = u"Drivers\\BuiltIn\\Velmora";

// The installed DLL, a pending replacement, and the name the installed DLL
// is kept under while the replacement moves into its place.
inline constexpr char16_t InstalledDllPath[] = u"\\windows\\Velmora.dll";
inline constexpr char16_t PendingDllPath[] = u"\\windows\\Velmora_tmp.dll";
inline constexpr char16_t AsideDllPath[] = u"\\windows\\Velmora_old.dll";

}  // namespace velmora
