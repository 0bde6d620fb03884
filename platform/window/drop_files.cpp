// Dropped files: the records behind HDROP handles, kept in the queue of the
// thread whose window got them.
#include "platform/drop_files.h"

#include <algorithm>

#include "platform/window/window_internal.h"

namespace mtxOs {

using namespace detail;

namespace {

DropRecord* Record(HDROP drop) {
    auto& drops = ThisQueue().drops;
    auto it = drops.find(reinterpret_cast<uintptr_t>(drop));
    return it == drops.end() ? nullptr : &it->second;
}

}  // namespace

uint32_t DragQueryFileCount(HDROP drop) {
    DropRecord* r = Record(drop);
    return r ? static_cast<uint32_t>(r->paths.size()) : 0;
}

bool DragQueryFile(HDROP drop, uint32_t index, std::string& path) {
    DropRecord* r = Record(drop);
    if (!r || index >= r->paths.size()) return false;
    path = r->paths[index];
    return true;
}

bool DragQueryPoint(HDROP drop, POINT& point) {
    DropRecord* r = Record(drop);
    point = r ? r->point : POINT{0, 0};
    return r && r->hasPoint;
}

void DragFinish(HDROP drop) {
    FreeDrop(reinterpret_cast<WPARAM>(drop));
}

bool QueueFileDrop(HWND top, const std::vector<std::string>& paths, const POINT* at) {
    Window* w = Find(top);
    if (!w || !w->top || paths.empty() || w->queue.get() != &ThisQueue()) return false;
    Queue& q = ThisQueue();
    uintptr_t handle = q.nextDrop++;
    DropRecord& r = q.drops[handle];
    r.hwnd = top;
    r.paths = paths;
    if (at) {
        r.point = *at;
        r.hasPoint = true;
    }
    QueueInput({top, WM_DROPFILES, handle, 0, static_cast<uint32_t>(NowMs()), {}});
    return true;
}

namespace detail {

void FreeDrop(WPARAM handle) {
    ThisQueue().drops.erase(handle);
}

void FreeDropsOf(const std::vector<HWND>& windows) {
    std::erase_if(ThisQueue().drops, [&](const auto& entry) {
        return std::find(windows.begin(), windows.end(), entry.second.hwnd) != windows.end();
    });
}

}  // namespace detail

}  // namespace mtxOs
