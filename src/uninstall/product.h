// The product's names: fixed texts built into the program.
#pragma once

inline const char driverDisplayName[] = "Pelmora AltGrLinks (V3.04)";
inline const char driverDllBaseName[] = "Pelmoradrv";
inline const char driverDllFileName[] = "Pelmoradrv.DLL";
inline const char uninstallEntryName[] = "Tastaturbelegung Pelmora AltGrLinks (V3.04)";
inline const char chartBaseName[] = "Tastaturbelegung Pelmora Schaubild";  // the desktop shortcut
inline const char chartPdfFileName[] = "Tastaturbelegung Pelmora Schaubild.pdf";
inline const char chartIconFileName[] = "Tastaturbelegung Pelmora Schaubild.ico";
inline const char uninstallerCopyName[] = "Uninstall_Pelmoradrv.exe";
inline const char programVersion[] = "3.04";
inline const char productFolderName[] = "Pelmora-Tastatur";  // below Program Files
