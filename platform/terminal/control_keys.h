// What a key does to the control that takes it: the focused list, the
// focused text field, the open drop-down list, the message box on top.
// Each returns whether the control took the key (or what it answers), so
// the dialog screen passes the rest on to the dialog.
#pragma once

#include "platform/terminal/key_press.h"
#include "platform/terminal/screen_message.h"
#include "platform/terminal/screen_view.h"
#include "platform/ui/dialog.h"

namespace velmora::terminal {

// The arrows, paging, Space, F2 and sideways scrolling in a list that
// shows rows entries at a time.
bool ListKey(ui::ListView& list, int rows, DialogView& view, const KeyPress& key);

// Typing and moving the cursor in a text field.
bool EditKey(ui::Edit& edit, EditCursor& cursor, const KeyPress& key);

// The keys of an open drop-down list, page items to a page: they move the
// highlight, choose it or close the list. It takes every key.
void DropDownKey(ui::ComboBox& combo, int page, DialogView& view, const KeyPress& key);

// Moves the mark between a message box's buttons; returns the button the
// key answers with (0 OK / Ja, 1 Nein), or -1 when it answers nothing.
int MessageKey(MessageState& message, const KeyPress& key);

}  // namespace velmora::terminal
