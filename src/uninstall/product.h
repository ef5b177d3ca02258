// The product's names: fixed texts built into the program.
#pragma once

const char driverDisplayName[] = "Pelmora AltGrLinks (V3.04)";
const char driverDllBaseName[] = "Pelmoradrv";
const char driverDllFileName[] = "Pelmoradrv.DLL";
const char uninstallEntryName[] = "Tastaturbelegung Pelmora AltGrLinks (V3.04)";
const char chartBaseName[] = "Tastaturbelegung Pelmora Schaubild";  // the desktop shortcut
const char chartShortcutFileName[] = "Tastaturbelegung Pelmora Schaubild.LNK";  // its file
const char chartPdfFileName[] = "Tastaturbelegung Pelmora Schaubild.pdf";
const char chartIconFileName[] = "Tastaturbelegung Pelmora Schaubild.ico";
const char uninstallerCopyName[] = "Uninstall_Pelmoradrv.exe";
const char programVersion[] = "3.04";
const char productFolderName[] = "Pelmora-Tastatur";  // below Program Files
