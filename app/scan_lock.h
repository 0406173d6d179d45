#pragma once
// The application taken over by a running NEOCP scan: the main frame refuses
// to close, its menus and child windows are disabled, and commands, file
// drops and keys addressed to it or its children are dropped. The scan
// dialog (and the windows it opens) keep working. One lock per process.
class wxCloseEvent;
class wxWindow;

inline constexpr const char* kMsgScanRefusesClose =
    "NEOCPの走査の最中は、Tessaruneを閉じられません。\r\n先に走査の画面の[中止]を押して、走査が止まるのをお待ちください。";
inline constexpr const char* kScanLockCaption = "NEOCPの全天体を走査";

// Nothing when frame is null or a lock is taken.
void LockAppForScan(wxWindow* frame, wxWindow* dialog);
// Gives back what the lock took, as far as it still exists.
void UnlockAppAfterScan();
bool IsAppLockedForScan();
// The main frame's close while locked: vetoed with the refusal (one box at a
// time); true when it was.
bool RefuseCloseWhileScanning(wxCloseEvent& event);
