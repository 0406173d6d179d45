#pragma once
// The keys of a view's frame, whichever of its controls has the focus: the
// accelerators of the frame's menus, Ctrl+W and Ctrl+F4 (close the frame)
// and Esc during a calculation (what "中止(&C)" does). The toolkit would let a
// focused control, or the main frame's framework keys, take them first.
class CChildFrame;
class wxKeyEvent;

// True when the key was one of these and was acted on; false leaves it to the
// control. frame may be null (no view open): then only Esc is looked at.
bool HandleFrameKey(CChildFrame* frame, const wxKeyEvent& key);
