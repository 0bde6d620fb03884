#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window.h"

// Files dropped on a top-level window from the desktop's file manager. The
// window gets WM_DROPFILES with an HDROP in wParam that names the files (and,
// when it is known, where they were dropped); the handler reads them with the
// calls below. The drop lives until the handler calls DragFinish or, at the
// latest, until the message has been dispatched, so an unhandled drop costs
// nothing. A drop belongs to the window's thread; its handle means nothing on
// another thread, after its end, or for a dead window.
namespace mtxOs {

typedef struct HDROP__* HDROP;

// How many files the drop names; 0 for a dead handle.
uint32_t DragQueryFileCount(HDROP drop);
// The full path of file index, as the desktop gave it; false past the end or
// for a dead handle.
bool DragQueryFile(HDROP drop, uint32_t index, std::string& path);
// Where the files were dropped, in the window's client coordinates; false
// when that is not known (the point is then (0, 0)).
bool DragQueryPoint(HDROP drop, POINT& point);
// Frees the drop now.
void DragFinish(HDROP drop);

// Queues WM_DROPFILES for paths to a top-level window of the calling thread,
// at a point of its client area or (null) at no known point: what the display
// does when files are dropped on a window, and how tests drop files. False,
// queueing nothing, for a child or dead window or without paths.
bool QueueFileDrop(HWND top, const std::vector<std::string>& paths, const POINT* at);

}  // namespace mtxOs
