#include "platform/wx/hand_cursor.h"

const wxCursor& GetHandCursor()
{
  static const wxCursor hand(wxCURSOR_HAND);
  return hand;
}
