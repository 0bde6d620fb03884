// The clipboard of the window system: blocks per format kept with the
// thread's windows; text also on the desktop's clipboard.
#include "platform/clipboard.h"

#include "platform/window/window_internal.h"

namespace mtxOs {

using namespace detail;

bool OpenClipboard(HWND owner) {
    Queue& q = ThisQueue();
    if (q.clipboardOpener || !Find(owner)) return false;
    q.clipboardOpener = owner;
    q.clipboardEmptied = false;
    return true;
}

bool CloseClipboard() {
    Queue& q = ThisQueue();
    if (!q.clipboardOpener) return false;
    q.clipboardOpener = nullptr;
    return true;
}

bool EmptyClipboard() {
    Queue& q = ThisQueue();
    if (!q.clipboardOpener) return false;
    HWND previous = q.clipboardOwner;
    q.clipboard.clear();
    q.clipboardOwner = q.clipboardOpener;
    q.clipboardEmptied = true;
    // The previous owner frees what it kept for the clipboard.
    if (previous && Find(previous)) SendMessage(previous, WM_DESTROYCLIPBOARD, 0, 0);
    return true;
}

bool SetClipboardData(uint32_t format, std::vector<uint8_t> data) {
    Queue& q = ThisQueue();
    if (!q.clipboardOpener || !q.clipboardEmptied || format == 0) return false;
    if (format == CF_UNICODETEXT) {
        std::string text(data.begin(), data.end());
        if (size_t end = text.find('\0'); end != std::string::npos) text.resize(end);
        DisplaySetClipboardText(text);
    }
    q.clipboard[format] = std::move(data);
    return true;
}

bool GetClipboardData(uint32_t format, std::vector<uint8_t>& out) {
    Queue& q = ThisQueue();
    if (!q.clipboardOpener) return false;
    std::string text;
    // The desktop's text wins unless this program put the text there.
    if (format == CF_UNICODETEXT && !q.clipboard.count(format) && DisplayGetClipboardText(text)) {
        out.assign(text.begin(), text.end());
        return true;
    }
    auto it = q.clipboard.find(format);
    if (it == q.clipboard.end()) return false;
    out = it->second;
    return true;
}

uint32_t RegisterClipboardFormat(const std::string& name) {
    if (name.empty()) return 0;
    Queue& q = ThisQueue();
    auto it = q.clipboardFormats.find(name);
    if (it != q.clipboardFormats.end()) return it->second;
    uint32_t id = 0xC000 + uint32_t(q.clipboardFormats.size());
    q.clipboardFormats[name] = id;
    return id;
}

}  // namespace mtxOs
